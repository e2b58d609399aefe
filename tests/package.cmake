# The Debian package built from this tree, unpacked and checked as installed
# (tests/package/check_package.sh). Needs both programs.
if(UNIX AND NOT APPLE AND TARGET o8rprog AND TARGET o8r-programmer)
    add_test(NAME package.deb
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/check_package.sh ${PROJECT_BINARY_DIR}
                     ${PROJECT_VERSION})
    set_tests_properties(package.deb PROPERTIES LABELS package TIMEOUT 600 SKIP_RETURN_CODE 77)
# Windows: the zip a user downloads, unpacked and run under Wine
# (tests/package/zip_test.sh). The test builds the package itself.
elseif(WIN32 AND CMAKE_CROSSCOMPILING_EMULATOR AND TARGET o8r-programmer AND TARGET o8rprog)
    add_test(NAME package.zip
             COMMAND ${O8R_BASH} -c "cd \"${CMAKE_BINARY_DIR}\" && \"${CMAKE_CPACK_COMMAND}\" -G ZIP >/dev/null && exec \"$0\" \"$@\""
                     ${CMAKE_CURRENT_SOURCE_DIR}/package/zip_test.sh
                     ${CMAKE_BINARY_DIR}/package/${O8R_PACKAGE_FILE_NAME}.zip
                     ${CMAKE_CROSSCOMPILING_EMULATOR} ${PROJECT_SOURCE_DIR})
    set_tests_properties(package.zip PROPERTIES LABELS package TIMEOUT 300 RUN_SERIAL ON)
    # The installer, made by CPack's NSIS generator, installed, run and
    # uninstalled under Wine (tests/package/installer_test.sh).
    add_test(NAME package.installer
             COMMAND ${O8R_BASH} -c "cd \"${CMAKE_BINARY_DIR}\" && \"${CMAKE_CPACK_COMMAND}\" -G NSIS >/dev/null && exec \"$0\" \"$@\""
                     ${CMAKE_CURRENT_SOURCE_DIR}/package/installer_test.sh
                     ${CMAKE_BINARY_DIR}/package/${O8R_PACKAGE_FILE_NAME}-setup.exe
                     ${CMAKE_CROSSCOMPILING_EMULATOR} ${PROJECT_VERSION})
    set_tests_properties(package.installer PROPERTIES LABELS package TIMEOUT 600 RUN_SERIAL ON)
endif()
