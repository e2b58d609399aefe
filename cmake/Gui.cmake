# The desktop program o8r-programmer (Qt 6 Widgets). Its windows are the Qt files
# of app/, catalogue/, operations/ and srec/: window classes (C...Dlg, C...App)
# and Qt... helpers. They go into the library o8r_gui, so that the GUI tests link
# the same code as the program; QtMain.cpp alone makes the executable.

find_package(Qt6 REQUIRED COMPONENTS Widgets)

set(O8R_GUI_GLOBS)
foreach(dir IN ITEMS app catalogue operations srec)
    foreach(pattern IN ITEMS "C[A-Z]*Dlg" "C[A-Z]*App" "Qt*")
        list(APPEND O8R_GUI_GLOBS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${pattern}.cpp
             ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${pattern}.h)
    endforeach()
endforeach()
file(GLOB O8R_GUI_SOURCES CONFIGURE_DEPENDS ${O8R_GUI_GLOBS})
list(FILTER O8R_GUI_SOURCES EXCLUDE REGEX "/app/QtMain\\.cpp$")

add_library(o8r_gui STATIC ${O8R_GUI_SOURCES} ${CMAKE_CURRENT_SOURCE_DIR}/resources/o8r.qrc)
set_target_properties(o8r_gui PROPERTIES AUTOMOC ON AUTORCC ON)
target_include_directories(o8r_gui PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(o8r_gui PUBLIC o8r_bridges o8r_sim o8r_core Qt6::Widgets
                      PRIVATE o8r_warnings)
target_compile_definitions(o8r_gui PUBLIC QT_NO_KEYWORDS
                           O8R_VERSION="${PROJECT_VERSION}")

add_executable(o8r-programmer ${CMAKE_CURRENT_SOURCE_DIR}/app/QtMain.cpp)
target_link_libraries(o8r-programmer PRIVATE o8r_gui o8r_warnings)
set_target_properties(o8r-programmer PROPERTIES WIN32_EXECUTABLE ON)
if(WIN32)
    # The desktop program shares the C++ runtime DLLs with Qt.
    set_target_properties(o8r-programmer PROPERTIES O8R_SHARED_RUNTIME ON)
    if(MINGW)
        o8r_copy_gui_runtime(${O8R_BIN_DIR})
    endif()
endif()
