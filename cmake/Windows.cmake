# What a Windows build needs beyond the common build: the C++ runtime linked
# statically into console programs, and, when cross-building on Linux, the
# header-only CLI11 and GoogleTest built from Debian's sources for the target,
# with Wine running the tests.

# Console programs carry libstdc++, libgcc and winpthread inside them, so a
# lone o8rprog.exe runs anywhere. The desktop program shares the runtime DLLs
# with Qt instead (targets with O8R_SHARED_RUNTIME set).
if(MINGW)
    add_link_options("$<$<NOT:$<BOOL:$<TARGET_PROPERTY:O8R_SHARED_RUNTIME>>>:-static>")
    # Unicode entry points and wide APIs everywhere; no min/max macros.
    add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
endif()

# Qt for Windows: O8R_QT_WINDOWS names its folder (by default the one beside
# the source tree, ../shared/qt6-mingw64); any Qt 6 for MinGW will do. Its
# build tools (moc, rcc) come from the host's Qt of the same version.
set(O8R_QT_WINDOWS "${CMAKE_SOURCE_DIR}/../shared/qt6-mingw64"
    CACHE PATH "Qt 6 for Windows (MinGW) to build the desktop program against")
if(O8R_BUILD_GUI AND EXISTS "${O8R_QT_WINDOWS}/lib/cmake/Qt6/Qt6Config.cmake")
    list(APPEND CMAKE_PREFIX_PATH "${O8R_QT_WINDOWS}")
    if(CMAKE_CROSSCOMPILING AND NOT QT_HOST_PATH)
        set(QT_HOST_PATH /usr)
        set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux-gnu/cmake)
    endif()
endif()

# What the desktop program needs beside it: the Qt DLLs and plugins, and the
# MinGW runtime it shares with them. Copied into `folder` at configure time.
function(o8r_copy_gui_runtime folder)
    set(qt "${O8R_QT_WINDOWS}")
    file(COPY ${qt}/bin/Qt6Core.dll ${qt}/bin/Qt6Gui.dll ${qt}/bin/Qt6Widgets.dll
         DESTINATION ${folder})
    file(COPY ${qt}/plugins/platforms/qwindows.dll ${qt}/plugins/platforms/qoffscreen.dll
         DESTINATION ${folder}/platforms)
    file(COPY ${qt}/plugins/styles/qwindowsvistastyle.dll DESTINATION ${folder}/styles)
    if(MINGW)
        get_filename_component(compiler_dir "${CMAKE_CXX_COMPILER}" DIRECTORY)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                        OUTPUT_VARIABLE libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgcc_s_seh-1.dll
                        OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
                        OUTPUT_VARIABLE winpthread OUTPUT_STRIP_TRAILING_WHITESPACE)
        foreach(dll IN ITEMS "${libstdcxx}" "${libgcc}" "${winpthread}")
            if(NOT IS_ABSOLUTE "${dll}")
                # -print-file-name answers with the bare name when it does not know.
                find_file(found_${dll} ${dll} PATHS /usr/${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32/lib
                          NO_DEFAULT_PATH)
                set(dll "${found_${dll}}")
            endif()
            if(EXISTS "${dll}")
                file(COPY ${dll} DESTINATION ${folder})
            endif()
        endforeach()
    endif()
endfunction()

if(NOT CMAKE_CROSSCOMPILING)
    return()
endif()

# CLI11: the host's headers, copied so that the host include folder never
# comes into the target's include path.
if(NOT TARGET CLI11::CLI11)
    set(O8R_CLI11_HEADERS /usr/include/CLI CACHE PATH "CLI11's header folder (CLI/CLI.hpp)")
    if(EXISTS ${O8R_CLI11_HEADERS}/CLI.hpp)
        file(COPY ${O8R_CLI11_HEADERS} DESTINATION ${CMAKE_BINARY_DIR}/third_party/include)
        add_library(o8r_cli11 INTERFACE)
        target_include_directories(o8r_cli11 SYSTEM INTERFACE
                                   ${CMAKE_BINARY_DIR}/third_party/include)
        add_library(CLI11::CLI11 ALIAS o8r_cli11)
        set(CLI11_FOUND TRUE)
    endif()
endif()

# GoogleTest from its Debian source (googletest package), built for the target.
if(O8R_BUILD_TESTS AND NOT TARGET GTest::gtest)
    set(O8R_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source folder")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${O8R_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/third_party/googletest
                     EXCLUDE_FROM_ALL SYSTEM)
    if(NOT TARGET GTest::gtest)
        add_library(GTest::gtest ALIAS gtest)
        add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
endif()

# Wine runs the test programs: its own prefix inside the build tree (never the
# home folder), no Mono or Gecko prompts, no debug chatter.
find_program(O8R_WINE NAMES wine)
if(O8R_WINE AND O8R_WINDOWS_ARCH STREQUAL "x86_64")
    set(O8R_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                   GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()
