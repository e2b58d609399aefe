# Cross-building for Windows with Debian's MinGW-w64 GCC, POSIX thread model
# (the win32 model has no std::thread or std::mutex).
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake [-DO8R_WINDOWS_ARCH=i686] ...
#
# x86_64 is the default; i686 builds the 32-bit programs (Wine here runs only
# the 64-bit ones).

set(O8R_WINDOWS_ARCH x86_64 CACHE STRING "x86_64 or i686")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${O8R_WINDOWS_ARCH})

set(_o8r_triple ${O8R_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${_o8r_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_o8r_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_o8r_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_o8r_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
