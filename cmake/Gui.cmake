# The desktop program o8r-programmer (Qt 6 Widgets). Its windows (gui/, the
# dialogs in gui/dialogs/) go into the library o8r_gui, so that the GUI tests
# link the same code as the program.

find_package(Qt6 REQUIRED COMPONENTS Widgets)

# The window classes and their Qt helpers; QtMain.cpp alone makes the executable.
o8r_sources_under(O8R_GUI_SOURCES gui)
list(FILTER O8R_GUI_SOURCES EXCLUDE REGEX "/gui/QtMain\\.cpp$")

add_library(o8r_gui STATIC ${O8R_GUI_SOURCES} ${CMAKE_CURRENT_SOURCE_DIR}/resources/o8r.qrc)
set_target_properties(o8r_gui PROPERTIES AUTOMOC ON AUTORCC ON)
target_include_directories(o8r_gui PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(o8r_gui PUBLIC o8r_bridges o8r_sim o8r_core Qt6::Widgets
                      PRIVATE o8r_warnings)
target_compile_definitions(o8r_gui PUBLIC QT_NO_KEYWORDS)

add_executable(o8r-programmer ${CMAKE_CURRENT_SOURCE_DIR}/gui/QtMain.cpp)
target_link_libraries(o8r-programmer PRIVATE o8r_gui o8r_warnings)
set_target_properties(o8r-programmer PROPERTIES WIN32_EXECUTABLE ON)
if(WIN32)
    # The desktop program shares the C++ runtime DLLs with Qt.
    set_target_properties(o8r-programmer PROPERTIES O8R_SHARED_RUNTIME ON)
    if(MINGW)
        o8r_copy_gui_runtime(${O8R_BIN_DIR})
    endif()
endif()
