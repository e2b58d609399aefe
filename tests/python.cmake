# The Python module's tests (tests/python, pytest) against the module in the
# build tree, on the interpreter it was built for. A module built with the
# sanitizers needs their runtime loaded first, before the interpreter's own
# allocations; the interpreter's memory is its own business (no leak check).
if(TARGET o8r_python)
    set(O8R_PYTHON_TEST_ENV PYTHONPATH=${PROJECT_BINARY_DIR}/python PYTHONDONTWRITEBYTECODE=1
        O8R_SOURCE_DIR=${PROJECT_SOURCE_DIR} O8R_PROGRAM=$<TARGET_FILE:o8rprog>)
    if(O8R_SANITIZE)
        # libstdc++ too: the runtime finds the real __cxa_throw only in a
        # library loaded before it starts, and python3 is no C++ program.
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                        OUTPUT_VARIABLE O8R_LIBASAN OUTPUT_STRIP_TRAILING_WHITESPACE)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++.so
                        OUTPUT_VARIABLE O8R_LIBSTDCXX OUTPUT_STRIP_TRAILING_WHITESPACE)
        list(APPEND O8R_PYTHON_TEST_ENV "LD_PRELOAD=${O8R_LIBASAN} ${O8R_LIBSTDCXX}"
             ASAN_OPTIONS=detect_leaks=0)
    endif()
    add_test(NAME python.pytest
             COMMAND ${Python_EXECUTABLE} -m pytest -q -p no:cacheprovider
                     ${CMAKE_CURRENT_SOURCE_DIR}/python)
    set_tests_properties(python.pytest PROPERTIES LABELS python TIMEOUT 300
                         ENVIRONMENT "${O8R_PYTHON_TEST_ENV}")
endif()
