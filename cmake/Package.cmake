# Packages with CPack: a Debian package on Linux (script/package builds it); a
# ZIP archive of the same install tree elsewhere. Both carry the project's
# version; `cpack -G NAME` in a build tree picks another generator.

set(CPACK_PACKAGE_NAME o8r-programmer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${O8R_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "programmer for Renesas R8C/2A and R8C/2B microcontrollers")
set(CPACK_PACKAGE_DESCRIPTION
    "o8r-programmer drives a USB flash-programmer box (a CP210x bridge with USB
id 10c4:ea61) that programs Renesas R8C/2A and R8C/2B microcontrollers. It
programs Motorola S-record images page by page, erases flash blocks,
blank-checks and reads back address ranges, unlocks protected targets with
their ID code, stores an image in the box and updates the box's own firmware.
.
The package holds the desktop program o8r-programmer (Qt 6), the command
line o8rprog for scripts and production lines, the Python 3 module o8r for
test stations, the catalogue of supported parts, and a udev rule that lets the user at the seat and members of plugdev
use the box without root. A simulated box is built into both programs, and
`o8rprog doctor` says what keeps a real box from being used.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/" "/build-.*/")

# Debian: named o8r-programmer_VERSION_ARCH.deb, dependencies from
# dpkg-shlibdeps, the udev rules reloaded on install and removal.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Python module is one file more for the same engine and catalogue, not a
# package of its own: it is used with Debian's python3, which is recommended.
if(TARGET o8r_python)
    set(O8R_PYTHON_VERSION ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR})
    math(EXPR O8R_PYTHON_NEXT_MINOR "${Python_VERSION_MINOR} + 1")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
        "udev, python3 (>= ${O8R_PYTHON_VERSION}), python3 (<< ${Python_VERSION_MAJOR}.${O8R_PYTHON_NEXT_MINOR})")
else()
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${O8R_PACKAGING_DIR}/postinst ${O8R_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

# The Windows zip, o8r-programmer-VERSION-win64.zip: one folder of that name
# with both programs, the DLLs the desktop program needs, the catalogue, the
# README and the licence (cmake/Install.cmake, which names it). SiUSBXp.dll is not in it: the
# box's driver package provides it (see the README).
if(WIN32)
    set(CPACK_PACKAGE_FILE_NAME ${O8R_PACKAGE_FILE_NAME})
    set(CPACK_ARCHIVE_FILE_NAME ${O8R_PACKAGE_FILE_NAME})
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
    set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
else()
    set(CPACK_ARCHIVE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME})
endif()

# The Windows installer, o8r-programmer-VERSION-win64-setup.exe, from our own
# template (packaging/nsis/NSIS.template.in): a per-user install.
if(WIN32)
    set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/packaging/nsis)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(CPACK_O8R_NSIS_TARGET amd64-unicode)
    else()
        set(CPACK_O8R_NSIS_TARGET x86-unicode)
    endif()
    set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/nsis/CPackOptions.cmake)
endif()

if(UNIX AND NOT APPLE)
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
elseif(WIN32)
    set(CPACK_GENERATOR ZIP NSIS)
else()
    set(CPACK_GENERATOR ZIP)
endif()

include(CPack)
