# toml++ and nlohmann-json, used header-only from Debian's -dev packages
# (libtomlplusplus-dev, nlohmann-json3-dev). A cross build must not search the
# host's /usr/include, so each library's own folder is linked into a folder of
# the build tree that holds nothing else.
set(O8R_HOST_INCLUDE /usr/include CACHE PATH "where the header-only libraries are installed")
set(O8R_HEADER_LIBRARIES ${CMAKE_BINARY_DIR}/header-libraries)
foreach(library toml++ nlohmann)
    if(NOT EXISTS ${O8R_HOST_INCLUDE}/${library})
        message(FATAL_ERROR "${library} is not in ${O8R_HOST_INCLUDE}: script/bootstrap installs it")
    endif()
    if(NOT EXISTS ${O8R_HEADER_LIBRARIES}/${library})
        file(MAKE_DIRECTORY ${O8R_HEADER_LIBRARIES})
        file(CREATE_LINK ${O8R_HOST_INCLUDE}/${library} ${O8R_HEADER_LIBRARIES}/${library} SYMBOLIC)
    endif()
endforeach()
add_library(o8r_header_libraries INTERFACE)
target_include_directories(o8r_header_libraries SYSTEM INTERFACE ${O8R_HEADER_LIBRARIES})
# Debian builds toml++ as a shared library too; this program compiles it in.
target_compile_definitions(o8r_header_libraries INTERFACE TOML_HEADER_ONLY=1)
