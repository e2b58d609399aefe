cmake_minimum_required(VERSION 3.25)
# Checks the include lines of every file in the layer folders of cmake/Layers.cmake.
#   cmake -DSOURCE_DIR=... -P cmake/CheckLayers.cmake
# A file's layer is its folder. Fails with one line per include that points up
# a layer or into another front end, per core include that leaves the core's
# folders, and per Qt or operating-system header in the core.

include(${SOURCE_DIR}/cmake/Layers.cmake)

# folders_<rank>: the folders of that rank; a file belongs to the longest folder
# that starts its path.
set(rank 0)
set(all_folders "")
foreach(entry IN LISTS O8R_LAYERS)
    string(REPLACE "," ";" folders "${entry}")
    foreach(folder IN LISTS folders)
        set(rank_of_folder_${folder} ${rank})
        list(APPEND all_folders ${folder})
    endforeach()
    math(EXPR rank "${rank} + 1")
endforeach()

# Sets `out` to the layer folder of a path relative to SOURCE_DIR, or "".
function(layer_folder path out)
    set(best "")
    foreach(folder IN LISTS all_folders)
        string(LENGTH "${folder}/" length)
        string(SUBSTRING "${path}" 0 ${length} head)
        if(head STREQUAL "${folder}/")
            string(LENGTH "${best}" best_length)
            if(length GREATER best_length)
                set(best ${folder})
            endif()
        endif()
    endforeach()
    set(${out} "${best}" PARENT_SCOPE)
endfunction()

set(os_headers windows.h winbase.h unistd.h fcntl.h termios.h dirent.h dlfcn.h pthread.h
               libserialport.h io.h)
set(problems "")
set(count 0)
foreach(folder IN LISTS all_folders)
    file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h
         ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(file IN LISTS files)
        layer_folder(${file} own)
        if(NOT own STREQUAL folder)
            continue()  # a deeper layer folder checks it
        endif()
        math(EXPR count "${count} + 1")
        set(own_rank ${rank_of_folder_${own}})
        string(REGEX MATCH "^core/" in_core "${file}")
        file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include")
        foreach(line IN LISTS includes)
            if(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
                set(header ${CMAKE_MATCH_1})
                if(in_core AND (header MATCHES "^Q" OR header MATCHES "^sys/"
                                OR header IN_LIST os_headers))
                    string(APPEND problems "${file}: includes <${header}>\n")
                endif()
            elseif(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
                set(header ${CMAKE_MATCH_1})
                layer_folder(${header} theirs)
                if(theirs STREQUAL "")
                    if(in_core)
                        string(APPEND problems
                               "${file}: includes \"${header}\", which is not in a layer\n")
                    endif()
                elseif(theirs STREQUAL own)
                elseif(rank_of_folder_${theirs} GREATER own_rank)
                    string(APPEND problems "${file}: includes \"${header}\" of a later layer\n")
                elseif(rank_of_folder_${theirs} EQUAL own_rank)
                    string(APPEND problems "${file}: includes \"${header}\" of another front end\n")
                endif()
            endif()
        endforeach()
    endforeach()
endforeach()

if(problems)
    message(FATAL_ERROR "The layers are broken:\n${problems}")
endif()
message(STATUS "${count} files keep to their layers")
