# o8rprog doctor's judgement is part of the command line's parts.
if(TARGET doctor_test AND TARGET o8r_cli_parts)
    target_link_libraries(doctor_test PRIVATE o8r_cli_parts)
endif()
