# The desktop program's tests: Qt Test programs, one per tests/gui/*_test.cpp,
# driving the real windows against the simulated box, headless.

if(TARGET o8r_gui)
    find_package(Qt6 REQUIRED COMPONENTS Test)

    file(GLOB O8R_GUI_TEST_HELPERS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/gui/*.cpp)
    list(FILTER O8R_GUI_TEST_HELPERS EXCLUDE REGEX "_test\\.cpp$")
    add_library(o8r_gui_test_support STATIC ${O8R_GUI_TEST_HELPERS})
    target_include_directories(o8r_gui_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/gui)
    target_link_libraries(o8r_gui_test_support PUBLIC o8r_gui o8r_test_support Qt6::Test
                          PRIVATE o8r_warnings)

    # A desktop's screen, 1920 x 1080, rather than the platform's small default,
    # so that windows are placed as they are on such a screen at every scale.
    set(O8R_GUI_TEST_ENVIRONMENT
        "QT_QPA_PLATFORM=offscreen:configfile=${CMAKE_CURRENT_SOURCE_DIR}/gui/screen-1080.json;QT_LOGGING_RULES=qt.qpa.*=false")
    file(GLOB O8R_GUI_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/gui/*_test.cpp)
    if(MINGW)
        o8r_copy_gui_runtime(${CMAKE_CURRENT_BINARY_DIR})
        file(COPY ${O8R_QT_WINDOWS}/bin/Qt6Test.dll DESTINATION ${CMAKE_CURRENT_BINARY_DIR})
    endif()
    if(CMAKE_CROSSCOMPILING)
        # The texts' fit is measured with the Linux build's fonts (Liberation's
        # Arial metrics); Wine's fonts measure otherwise.
        list(FILTER O8R_GUI_TESTS EXCLUDE REGEX "/text_fit_test\\.cpp$")
    endif()
    foreach(src IN LISTS O8R_GUI_TESTS)
        get_filename_component(name ${src} NAME_WE)
        add_executable(gui_${name} ${src})
        set_target_properties(gui_${name} PROPERTIES AUTOMOC ON
                              RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
        target_link_libraries(gui_${name} PRIVATE o8r_gui_test_support o8r_warnings)
        # Some cases run the built program itself.
        add_dependencies(gui_${name} o8r-programmer)
        if(WIN32)
            set_target_properties(gui_${name} PROPERTIES O8R_SHARED_RUNTIME ON)
        endif()
        if(CMAKE_CROSSCOMPILING)
            # Wine does not pass QT_QPA_PLATFORM through to the program.
            set(command gui_${name} -platform offscreen)
        else()
            set(command gui_${name})
        endif()
        if(name STREQUAL "text_fit_test")
            # Texts must fit at every screen scale, fractional ones included.
            foreach(scale IN ITEMS 1 1.5 2)
                add_test(NAME gui.${name}.x${scale} COMMAND ${command})
                set_tests_properties(gui.${name}.x${scale} PROPERTIES LABELS gui TIMEOUT 300
                    ENVIRONMENT "${O8R_GUI_TEST_ENVIRONMENT};QT_SCALE_FACTOR=${scale}")
            endforeach()
        else()
            add_test(NAME gui.${name} COMMAND ${command})
            set_tests_properties(gui.${name} PROPERTIES LABELS gui TIMEOUT 300
                ENVIRONMENT "${O8R_GUI_TEST_ENVIRONMENT}")
        endif()
    endforeach()
endif()

# Not a test: the Windows screenshot in docs/ (script/windows-screenshot).
if(TARGET o8r_gui_test_support AND WIN32)
    add_executable(window_screenshot ${CMAKE_CURRENT_SOURCE_DIR}/screenshot/WindowsScreenshot.cpp)
    target_link_libraries(window_screenshot PRIVATE o8r_gui_test_support o8r_warnings)
    set_target_properties(window_screenshot PROPERTIES O8R_SHARED_RUNTIME ON EXCLUDE_FROM_ALL ON
                          RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endif()

# Not a test: the window's peak memory after a 512-page read, for script/bench.
if(TARGET o8r_gui_test_support AND NOT WIN32)
    add_executable(window_read_footprint ${PROJECT_SOURCE_DIR}/bench/window_read_footprint.cpp)
    target_link_libraries(window_read_footprint PRIVATE o8r_gui_test_support o8r_warnings)
    set_target_properties(window_read_footprint PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                          ${CMAKE_BINARY_DIR}/bin)
endif()
