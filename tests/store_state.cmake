# The store and state-file cases use the bridge factory, and run o8rprog and
# the desktop program as children.
if(TARGET store_state_test)
    target_link_libraries(store_state_test PRIVATE o8r_bridges)
    foreach(program IN ITEMS o8rprog o8r-programmer)
        if(TARGET ${program})
            add_dependencies(store_state_test ${program})
        endif()
    endforeach()
endif()
