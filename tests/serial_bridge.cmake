# The bridge tests need the bridge library (the factory, and libserialport
# where it is built).
if(TARGET serial_bridge_test AND TARGET o8r_bridges)
    target_link_libraries(serial_bridge_test PRIVATE o8r_bridges)
endif()
