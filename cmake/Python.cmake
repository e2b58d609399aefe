# The Python module `o8r` (Linux): the engine's sessions compiled with pybind11
# (python/*.cpp, the module o8r._o8r) under the package's Python part
# (python/o8r/). The build tree's build/python/ is importable as it stands
# (PYTHONPATH=build/python), with the catalogue beside the package.
set(O8R_PYTHON_DEFAULT OFF)
if(UNIX AND NOT APPLE AND NOT CMAKE_CROSSCOMPILING)
    # The system's interpreter, whatever python3 comes first on the PATH: the
    # package installs into its dist-packages.
    if(NOT DEFINED Python_EXECUTABLE AND EXISTS /usr/bin/python3)
        set(Python_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python the module is built for")
    endif()
    find_package(Python 3 COMPONENTS Interpreter Development.Module QUIET)
    find_package(pybind11 CONFIG QUIET)
    if(Python_FOUND AND pybind11_FOUND)
        set(O8R_PYTHON_DEFAULT ON)
    endif()
endif()
option(O8R_BUILD_PYTHON "Build the Python module o8r (needs pybind11 and the Python headers)"
       ${O8R_PYTHON_DEFAULT})
if(NOT O8R_BUILD_PYTHON)
    return()
endif()
if(NOT pybind11_FOUND)
    message(FATAL_ERROR "O8R_BUILD_PYTHON needs pybind11 and Python 3 with its headers "
                        "(Debian: pybind11-dev python3-dev)")
endif()

# The libraries go into a shared object.
set_target_properties(o8r_platform o8r_core o8r_sim o8r_bridges PROPERTIES
                      POSITION_INDEPENDENT_CODE ON)

set(O8R_PYTHON_PACKAGE_DIR ${PROJECT_BINARY_DIR}/python/o8r)
pybind11_add_module(o8r_python MODULE NO_EXTRAS ${PROJECT_SOURCE_DIR}/python/Module.cpp
                    ${PROJECT_SOURCE_DIR}/python/PySession.cpp)
set_target_properties(o8r_python PROPERTIES OUTPUT_NAME _o8r
                      LIBRARY_OUTPUT_DIRECTORY ${O8R_PYTHON_PACKAGE_DIR})
target_link_libraries(o8r_python PRIVATE o8r_bridges o8r_sim o8r_core o8r_build_info o8r_warnings)

set(O8R_PYTHON_FILES __init__.py _o8r.pyi py.typed)
foreach(file IN LISTS O8R_PYTHON_FILES)
    configure_file(${PROJECT_SOURCE_DIR}/python/o8r/${file} ${O8R_PYTHON_PACKAGE_DIR}/${file} COPYONLY)
endforeach()
configure_file(${O8R_DATA_DIR}/MCUType.mcu ${O8R_PYTHON_PACKAGE_DIR}/MCUType.mcu COPYONLY)

# Debian's python3 reads every version's modules from lib/python3/dist-packages.
set(O8R_PYTHON_INSTALL_DIR lib/python3/dist-packages CACHE STRING
    "Where the package o8r is installed, relative to the prefix unless absolute")
install(TARGETS o8r_python LIBRARY DESTINATION ${O8R_PYTHON_INSTALL_DIR}/o8r)
list(TRANSFORM O8R_PYTHON_FILES PREPEND ${PROJECT_SOURCE_DIR}/python/o8r/)
install(FILES ${O8R_PYTHON_FILES} DESTINATION ${O8R_PYTHON_INSTALL_DIR}/o8r)
