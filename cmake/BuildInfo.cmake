# What the programs know of their own build: the version (the project's version
# above is the only place it is written), where an install puts the catalogue,
# and the udev rule for the box, which `o8rprog doctor` offers to install.
include(GNUInstallDirs)

set(O8R_INSTALL_DATA_SUBDIR ${CMAKE_INSTALL_DATADIR}/o8r-programmer)
set(O8R_INSTALL_FULL_DATA_DIR ${CMAKE_INSTALL_FULL_DATADIR}/o8r-programmer)
set(O8R_UDEV_RULE_FILE ${PROJECT_SOURCE_DIR}/contrib/70-o8r-programmer.rules)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${O8R_UDEV_RULE_FILE})
file(STRINGS ${O8R_UDEV_RULE_FILE} O8R_UDEV_RULE REGEX "^SUBSYSTEM")

set(O8R_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildInfo.h.in ${O8R_GENERATED_DIR}/o8r/BuildInfo.h @ONLY)

add_library(o8r_build_info INTERFACE)
target_include_directories(o8r_build_info INTERFACE ${O8R_GENERATED_DIR})
foreach(program IN ITEMS o8rprog o8r_gui)
    if(TARGET ${program})
        target_link_libraries(${program} PRIVATE o8r_build_info)
    endif()
endforeach()
