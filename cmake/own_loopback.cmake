# Tests that must bind the plugin's built-in service port (it is compiled into the plugin) would
# have to take turns. Where network namespaces can be made (as root, as in CI), each such test
# runs in one of its own, holding its own loopback and port, and they run side by side; elsewhere
# they share one resource lock.
option(KESTREL_OWN_LOOPBACK "Run tests bound to fixed ports in network namespaces of their own where possible" ON)
set(KESTREL_OWN_LOOPBACK_SCRIPT "${PROJECT_SOURCE_DIR}/tests/support/own-loopback")
set(_kestrel_own_loopback_works OFF)
if(KESTREL_OWN_LOOPBACK AND NOT WIN32)
    execute_process(COMMAND "${KESTREL_OWN_LOOPBACK_SCRIPT}" true RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_QUIET)
    if(_rc EQUAL 0)
        set(_kestrel_own_loopback_works ON)
    endif()
endif()
if(_kestrel_own_loopback_works)
    message(STATUS "Tests bound to the built-in service port: each in a network namespace of its own")
else()
    message(STATUS "Tests bound to the built-in service port: one at a time (no network namespaces here)")
endif()

# kestrel_service_port_tests(target props): the test program runs in a namespace of its own when
# it can; props gets the properties its gtest_discover_tests() call must add (the shared lock
# otherwise).
function(kestrel_service_port_tests target props)
    if(_kestrel_own_loopback_works)
        # GoogleTest discovery and every discovered test start the program through this.
        set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR "${KESTREL_OWN_LOOPBACK_SCRIPT}")
        set(${props} "" PARENT_SCOPE)
    else()
        set(${props} RESOURCE_LOCK demo_services_default_port PARENT_SCOPE)
    endif()
endfunction()
