# Windows only: a stand-in SiUSBXp.dll made from the simulated box, in a folder
# of its own (never beside the programs, where it would answer every --box
# auto), and a second one that lacks an ordinal. The bridge test loads both;
# the command-line cases run once more through --box auto over the first.

if(WIN32)
    # A version resource, which doctor shows.
    enable_language(RC)
    set(O8R_STANDIN_DIR ${CMAKE_BINARY_DIR}/standin)
    foreach(variant IN ITEMS full partial)
        set(target o8r_standin_${variant})
        add_library(${target} SHARED ${CMAKE_CURRENT_SOURCE_DIR}/standin/SiUsbXpStandIn.cpp
                                     ${CMAKE_CURRENT_SOURCE_DIR}/standin/StandInBox.cpp
                                     ${CMAKE_CURRENT_SOURCE_DIR}/standin/SiUSBXp-${variant}.def
                                     ${CMAKE_CURRENT_SOURCE_DIR}/standin/StandIn.rc)
        target_link_libraries(${target} PRIVATE o8r_bridges o8r_sim o8r_core o8r_warnings)
        set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME SiUSBXp
                              RUNTIME_OUTPUT_DIRECTORY ${O8R_STANDIN_DIR}/${variant}
                              ARCHIVE_OUTPUT_DIRECTORY ${O8R_STANDIN_DIR}/${variant}/lib)
        # stdcall names without their @N decoration on 32-bit.
        target_link_options(${target} PRIVATE -static -Wl,--kill-at)
    endforeach()
    configure_file(${O8R_DATA_DIR}/MCUType.mcu ${O8R_STANDIN_DIR}/full/MCUType.mcu COPYONLY)

    if(TARGET siusbxp_test)
        target_link_libraries(siusbxp_test PRIVATE o8r_bridges)
        target_compile_definitions(siusbxp_test PRIVATE O8R_STANDIN_DIR="${O8R_STANDIN_DIR}")
        add_dependencies(siusbxp_test o8r_standin_full o8r_standin_partial)
    endif()
endif()
