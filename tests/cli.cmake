# The command line's parts without its option parsing, for the unit tests of
# its terminal side (cli_terminal_test).
if(O8R_CLI_PARTS AND TARGET cli_terminal_test)
    add_library(o8r_cli_parts STATIC ${O8R_CLI_PARTS})
    target_link_libraries(o8r_cli_parts PUBLIC o8r_bridges o8r_sim o8r_core o8r_build_info
                          PRIVATE o8r_warnings)
    target_link_libraries(cli_terminal_test PRIVATE o8r_cli_parts)
    if(TARGET cli_output_test)
        target_link_libraries(cli_output_test PRIVATE o8r_cli_parts)
    endif()
endif()

# End-to-end cases: the real o8rprog against the simulated box, each run's
# output compared with a golden transcript (tests/cli/golden/NAME.txt).
if(TARGET o8rprog)
    find_program(O8R_BASH bash REQUIRED)
    file(GLOB O8R_CLI_CASES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/cli/cases/*.sh)
    if(CMAKE_CROSSCOMPILING)
        # Wine's console re-renders a pseudo-terminal's output in its own way
        # (and shows escape sequences as text), so the terminal case cannot be
        # compared there; the progress bar's unit tests cover both redraws.
        list(FILTER O8R_CLI_CASES EXCLUDE REGEX "/progress_bar\\.sh$")
    endif()
    if(WIN32)
        # gang (and a job's run on several boxes) starts its boxes' programs
        # as POSIX child processes.
        list(FILTER O8R_CLI_CASES EXCLUDE REGEX "/(gang[a-z_]*|job)\\.sh$")
    endif()
    if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
        # doctor checks a real box through Linux's sysfs, devices and groups;
        # elsewhere it says that those checks do not exist there.
        list(FILTER O8R_CLI_CASES EXCLUDE REGEX "/doctor\\.sh$")
    endif()
    # One case as the test PREFIX.NAME, run with the environment ENV.
    function(o8r_add_cli_case prefix name env)
        add_test(NAME ${prefix}.${name}
                 COMMAND ${O8R_BASH} ${CMAKE_CURRENT_SOURCE_DIR}/cli/run_case.sh
                         $<TARGET_FILE:o8rprog> ${PROJECT_SOURCE_DIR} ${name})
        set_tests_properties(${prefix}.${name} PROPERTIES LABELS cli TIMEOUT 600
            ENVIRONMENT "O8R_EMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}${env}")
    endfunction()
    foreach(case IN LISTS O8R_CLI_CASES)
        get_filename_component(name ${case} NAME_WE)
        o8r_add_cli_case(cli ${name} "")
    endforeach()
    # Windows: the cases of each operation once more, through --box auto and
    # the real bridge over the stand-in SiUSBXp.dll (tests/standin.cmake).
    if(WIN32)
        foreach(name IN ITEMS program_readback read_dump erase_all erase_blocks blank_check
                              load_query update)
            o8r_add_cli_case(cli_standin ${name}
                             ";O8R_STANDIN_DIR=${CMAKE_BINARY_DIR}/standin/full")
        endforeach()
    endif()
endif()
