# Install rules: both programs, the catalogue, the sample images, and on Linux
# what a desktop expects of an installed program (menu entry, icons, AppStream
# data, manual pages, shell completion, the box's udev rule). Paths are relative
# to the prefix, so the installed tree can be moved as a whole: the programs
# find the catalogue in ../share/o8r-programmer/ from their own folder.
include(GNUInstallDirs)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(O8R_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING
    "Where the box's udev rule is installed, relative to the prefix unless absolute")
set(O8R_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(O8R_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)

if(WIN32)
    # Windows: one flat folder, the zip's (cmake/Package.cmake): the programs,
    # the DLLs the desktop program needs, the catalogue beside the programs,
    # the README and the licence.
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(O8R_PACKAGE_FILE_NAME o8r-programmer-${PROJECT_VERSION}-win64)
    else()
        set(O8R_PACKAGE_FILE_NAME o8r-programmer-${PROJECT_VERSION}-win32)
    endif()
    foreach(program IN ITEMS o8rprog o8r-programmer)
        if(TARGET ${program})
            install(TARGETS ${program} RUNTIME DESTINATION .)
        endif()
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/data/MCUType.mcu ${PROJECT_SOURCE_DIR}/README.md
                  ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
    install(FILES ${PROJECT_SOURCE_DIR}/data/sample.mot ${PROJECT_SOURCE_DIR}/data/sample.job.toml
                  ${PROJECT_SOURCE_DIR}/data/serial.txt DESTINATION examples)
    if(TARGET o8r-programmer)
        # Copied beside the programs by o8r_copy_gui_runtime (cmake/Windows.cmake).
        file(GLOB O8R_RUNTIME_DLLS ${O8R_BIN_DIR}/Qt6*.dll ${O8R_BIN_DIR}/lib*.dll)
        install(FILES ${O8R_RUNTIME_DLLS} DESTINATION .)
        install(DIRECTORY ${O8R_BIN_DIR}/platforms ${O8R_BIN_DIR}/styles DESTINATION .)
    endif()
    return()
endif()

foreach(program IN ITEMS o8rprog o8r-programmer)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/data/MCUType.mcu DESTINATION ${O8R_INSTALL_DATA_SUBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/sample.mot ${PROJECT_SOURCE_DIR}/data/firmware-sample.mot
              ${PROJECT_SOURCE_DIR}/data/sample.job.toml ${PROJECT_SOURCE_DIR}/data/serial.txt
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
              ${O8R_PACKAGING_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(NOT UNIX OR APPLE)
    return()
endif()

# gzip -9n: the compressed files carry no name and no time, so two builds of
# one version give the same bytes.
find_program(O8R_GZIP gzip REQUIRED)
function(o8r_gzip source output)
    add_custom_command(OUTPUT ${output}
                       COMMAND ${O8R_GZIP} -9nc ${source} > ${output}
                       DEPENDS ${source} VERBATIM)
endfunction()

if(IS_ABSOLUTE ${O8R_UDEV_RULES_DIR})
    set(O8R_UDEV_RULES_FULL_DIR ${O8R_UDEV_RULES_DIR})
else()
    set(O8R_UDEV_RULES_FULL_DIR ${CMAKE_INSTALL_PREFIX}/${O8R_UDEV_RULES_DIR})
endif()

# Manual pages and the changelog carry the version: configured, then compressed.
set(O8R_DOC_OUTPUTS)
foreach(page IN ITEMS o8rprog.1 o8r-programmer.1)
    configure_file(${O8R_PACKAGING_DIR}/${page}.in ${O8R_PACKAGING_OUT}/${page} @ONLY)
    o8r_gzip(${O8R_PACKAGING_OUT}/${page} ${O8R_PACKAGING_OUT}/${page}.gz)
    list(APPEND O8R_DOC_OUTPUTS ${O8R_PACKAGING_OUT}/${page}.gz)
endforeach()
set(O8R_PACKAGE_MAINTAINER "o8r-programmer developers <o8r-programmer@example.org>" CACHE STRING
    "The Maintainer of the packages, as \"Name <address>\"")
string(TIMESTAMP O8R_CHANGELOG_DATE "%a, %d %b %Y 00:00:00 +0000" UTC)
configure_file(${O8R_PACKAGING_DIR}/changelog.in ${O8R_PACKAGING_OUT}/changelog @ONLY)
o8r_gzip(${O8R_PACKAGING_OUT}/changelog ${O8R_PACKAGING_OUT}/changelog.gz)
list(APPEND O8R_DOC_OUTPUTS ${O8R_PACKAGING_OUT}/changelog.gz)
add_custom_target(o8r_docs ALL DEPENDS ${O8R_DOC_OUTPUTS})

install(FILES ${O8R_PACKAGING_OUT}/o8rprog.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${O8R_PACKAGING_OUT}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${O8R_PACKAGING_DIR}/o8rprog.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME o8rprog)
install(FILES ${PROJECT_SOURCE_DIR}/contrib/70-o8r-programmer.rules DESTINATION ${O8R_UDEV_RULES_DIR})

if(NOT TARGET o8r-programmer)
    return()
endif()

# The desktop program: its manual page, menu entry, AppStream data and icon,
# the icon as SVG and as PNG in the usual sizes, drawn from the SVG at build time.
install(FILES ${O8R_PACKAGING_OUT}/o8r-programmer.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${O8R_PACKAGING_DIR}/o8r-programmer.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
set(O8R_APPSTREAM_ID "org.example.o8r_programmer" CACHE STRING
    "The AppStream component id, in reverse-DNS form under the project's own domain")
set(O8R_HOMEPAGE_URL "https://o8r-programmer.example.org" CACHE STRING
    "The project's home page, for the AppStream data")
set(O8R_SCREENSHOT_URL "${O8R_HOMEPAGE_URL}/screenshots" CACHE STRING
    "Where the AppStream data points for docs/*.png")
string(TIMESTAMP O8R_RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(${O8R_PACKAGING_DIR}/o8r-programmer.metainfo.xml.in
               ${O8R_PACKAGING_OUT}/${O8R_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${O8R_PACKAGING_OUT}/${O8R_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(O8R_APP_ICON ${PROJECT_SOURCE_DIR}/resources/icons/128.svg)
install(FILES ${O8R_APP_ICON} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME o8r-programmer.svg)

# Only this build tool draws SVG; the programs use the PNG renditions.
find_package(Qt6 REQUIRED COMPONENTS Svg)
add_executable(o8r_render_icon ${O8R_PACKAGING_DIR}/RenderIcon.cpp)
target_link_libraries(o8r_render_icon PRIVATE Qt6::Gui Qt6::Svg o8r_warnings)
set(O8R_ICON_PNGS)
foreach(size IN ITEMS 16 24 32 48 64 128 256)
    set(png ${O8R_PACKAGING_OUT}/icons/${size}x${size}/o8r-programmer.png)
    add_custom_command(OUTPUT ${png}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${O8R_PACKAGING_OUT}/icons/${size}x${size}
                       COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                               $<TARGET_FILE:o8r_render_icon> ${O8R_APP_ICON} ${size} ${png}
                       DEPENDS o8r_render_icon ${O8R_APP_ICON} VERBATIM)
    list(APPEND O8R_ICON_PNGS ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(o8r_icons ALL DEPENDS ${O8R_ICON_PNGS})
