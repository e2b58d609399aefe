# The Debian package built from this tree, unpacked and checked as installed
# (tests/package/check_package.sh). Needs both programs.
if(UNIX AND NOT APPLE AND TARGET o8rprog AND TARGET o8r-programmer)
    add_test(NAME package.deb
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/check_package.sh ${PROJECT_BINARY_DIR}
                     ${PROJECT_VERSION})
    set_tests_properties(package.deb PROPERTIES LABELS package TIMEOUT 600 SKIP_RETURN_CODE 77)
endif()
