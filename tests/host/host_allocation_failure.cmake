# pelshx_host_allocation_failure(TEST): adds the host program's allocation
# failures to the test program TEST, which runs from the folder of the
# program and the plug-in, with the plug-in that makes them fail beside them.
function(pelshx_host_allocation_failure test)
    set(here ${PROJECT_SOURCE_DIR}/tests/host)
    add_library(allocation_faults_plugin SHARED ${here}/allocation_faults_plugin.cpp
                                                ${PROJECT_SOURCE_DIR}/tests/support/allocation_faults_win32.cpp)
    set_target_properties(allocation_faults_plugin PROPERTIES PREFIX "")
    target_include_directories(allocation_faults_plugin PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(allocation_faults_plugin PRIVATE pelshx_sdk_header pelshx_build_flags)
    # The export of the __stdcall ReleaseSinglePlayerDll without its decoration.
    target_link_options(allocation_faults_plugin PRIVATE -Wl,--kill-at)
    target_sources(${test} PRIVATE ${here}/host_allocation_failure_test.cpp ${here}/run_program_win32.cpp)
    add_dependencies(${test} allocation_faults_plugin pelshx_host)
endfunction()
