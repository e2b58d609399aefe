# The Windows zip: o8r-programmer-VERSION-win64.zip (CPack's ZIP generator)
# with both programs, the DLLs the desktop program needs, the catalogue, the
# README and the licence. SiUSBXp.dll is not in it: the box's driver package
# provides it (see the README).

if(CMAKE_SYSTEM_PROCESSOR MATCHES "64")
    set(O8R_PACKAGE_ARCH win64)
else()
    set(O8R_PACKAGE_ARCH win32)
endif()

install(FILES ${O8R_DATA_DIR}/MCUType.mcu ${PROJECT_SOURCE_DIR}/README.md
              ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
if(TARGET o8rprog)
    install(TARGETS o8rprog RUNTIME DESTINATION .)
endif()
if(TARGET o8r-programmer)
    install(TARGETS o8r-programmer RUNTIME DESTINATION .)
    # Copied beside the programs by o8r_copy_gui_runtime (cmake/Windows.cmake).
    file(GLOB O8R_RUNTIME_DLLS ${O8R_BIN_DIR}/Qt6*.dll ${O8R_BIN_DIR}/lib*.dll)
    install(FILES ${O8R_RUNTIME_DLLS} DESTINATION .)
    install(DIRECTORY ${O8R_BIN_DIR}/platforms ${O8R_BIN_DIR}/styles DESTINATION .)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME o8r-programmer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(O8R_PACKAGE_FILE_NAME o8r-programmer-${PROJECT_VERSION}-${O8R_PACKAGE_ARCH})
set(CPACK_PACKAGE_FILE_NAME ${O8R_PACKAGE_FILE_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
