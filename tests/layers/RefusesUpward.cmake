cmake_minimum_required(VERSION 3.25)
# The layer check must fail on a tree where a core file includes a later layer
# or a front end includes the other: a check that passes everything proves nothing.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -P tests/layers/RefusesUpward.cmake

file(REMOVE_RECURSE ${WORK_DIR})
file(COPY ${SOURCE_DIR}/cmake/Layers.cmake DESTINATION ${WORK_DIR}/cmake)
file(WRITE ${WORK_DIR}/core/window/Controller.h "#pragma once\n")
file(WRITE ${WORK_DIR}/core/model/Value.h "#include \"core/window/Controller.h\"\n")
file(WRITE ${WORK_DIR}/core/link/Line.h "#include <QString>\n#include \"core/model/Value.h\"\n")
file(WRITE ${WORK_DIR}/gui/Window.cpp "#include \"cli/Command.h\"\n")
file(WRITE ${WORK_DIR}/cli/Command.h "#include \"core/window/Controller.h\"\n")

execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${WORK_DIR}
                        -P ${SOURCE_DIR}/cmake/CheckLayers.cmake
                RESULT_VARIABLE status ERROR_VARIABLE output OUTPUT_VARIABLE output)
set(expected "core/model/Value.h: includes \"core/window/Controller.h\" of a later layer"
             "core/link/Line.h: includes <QString>"
             "gui/Window.cpp: includes \"cli/Command.h\" of another front end")
if(status EQUAL 0)
    message(FATAL_ERROR "the layer check passed a tree that breaks its layers:\n${output}")
endif()
foreach(line IN LISTS expected)
    string(FIND "${output}" "${line}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the layer check did not report: ${line}\nIt said:\n${output}")
    endif()
endforeach()
string(FIND "${output}" "cli/Command.h: includes" at)
if(NOT at EQUAL -1)
    message(FATAL_ERROR "the layer check refused a front end's include of the core:\n${output}")
endif()
