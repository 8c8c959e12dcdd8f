# Reliability checks beyond the module suites: the fault-injection and stress suite (through the
# exported functions, with the emulated cameras driven directly) and the soak program that
# scripts/soak runs for an hour. Linux only: they count threads and descriptors in /proc.
if(WIN32)
    return()
endif()

ostrel_test_suite(reliability LIBS ostrel_api ostrel_emulator ostrel_context)

add_executable(soak_run "${CMAKE_CURRENT_SOURCE_DIR}/reliability/soak/soak_run.cpp")
target_include_directories(soak_run PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}" "${PROJECT_SOURCE_DIR}/src")
target_link_libraries(soak_run PRIVATE ostrel_api ostrel_emulator ostrel_context)
