cmake_minimum_required(VERSION 3.25)
# Checks the include lines of every core file against cmake/Layers.cmake.
#   cmake -DSOURCE_DIR=... -P cmake/CheckLayers.cmake
# Fails with one line per include that points up a layer, leaves the core, or
# names Qt or an operating-system header.

set(CMAKE_CURRENT_SOURCE_DIR ${SOURCE_DIR})
include(${SOURCE_DIR}/cmake/Layers.cmake)

set(rank 0)
foreach(layer STATE LINK OPERATIONS WINDOW)
    foreach(file IN LISTS O8R_LAYER_${layer})
        set(rank_of_${file} ${rank})
    endforeach()
    math(EXPR rank "${rank} + 1")
endforeach()

set(os_headers windows.h winbase.h unistd.h fcntl.h termios.h dirent.h dlfcn.h pthread.h
               libserialport.h io.h)
set(problems "")
foreach(file IN LISTS O8R_CORE_FILES)
    if(NOT EXISTS ${SOURCE_DIR}/${file})
        string(APPEND problems "${file}: listed but missing\n")
        continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
        if(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
            set(header ${CMAKE_MATCH_1})
            if(header MATCHES "^Q" OR header MATCHES "^sys/" OR header IN_LIST os_headers)
                string(APPEND problems "${file}: includes <${header}>\n")
            endif()
        elseif(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
            set(header ${CMAKE_MATCH_1})
            if(NOT DEFINED rank_of_${header})
                string(APPEND problems "${file}: includes \"${header}\", which is not in the core\n")
            elseif(rank_of_${header} GREATER rank_of_${file})
                string(APPEND problems "${file}: includes \"${header}\" of a later layer\n")
            endif()
        endif()
    endforeach()
endforeach()

if(problems)
    message(FATAL_ERROR "The core's layers are broken:\n${problems}")
endif()
list(LENGTH O8R_CORE_FILES count)
message(STATUS "${count} core files keep to their layers")
