# Runs exit_status through the test runner (Wine for the Windows build) and fails unless the
# program ran and its exit status came back unchanged. Without this a runner that loses exit
# statuses would turn every failing Windows test into a pass.
foreach(status 0 3)
    execute_process(COMMAND ${RUNNER} "${PROGRAM}" ${status}
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
    if(NOT result STREQUAL "${status}" OR NOT output MATCHES "exiting with ${status}")
        message(FATAL_ERROR "expected status ${status} and its message, got status '${result}', "
                            "output '${output}', errors '${errors}'")
    endif()
endforeach()
message(STATUS "exit statuses 0 and 3 came back unchanged")
