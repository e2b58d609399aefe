# Windows: the zip a user downloads, unpacked and run under Wine
# (tests/package/zip_test.sh). The test builds the package itself.
if(WIN32 AND CMAKE_CROSSCOMPILING_EMULATOR AND TARGET o8r-programmer AND TARGET o8rprog)
    add_test(NAME package.zip
             COMMAND ${O8R_BASH} -c "\"${CMAKE_COMMAND}\" --build \"${CMAKE_BINARY_DIR}\" --target package >/dev/null && exec \"$0\" \"$@\""
                     ${CMAKE_CURRENT_SOURCE_DIR}/package/zip_test.sh
                     ${CMAKE_BINARY_DIR}/package/${O8R_PACKAGE_FILE_NAME}.zip
                     ${CMAKE_CROSSCOMPILING_EMULATOR} ${PROJECT_SOURCE_DIR})
    set_tests_properties(package.zip PROPERTIES LABELS package TIMEOUT 300 RUN_SERIAL ON)
endif()
