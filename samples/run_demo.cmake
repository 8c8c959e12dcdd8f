# Runs the demo as the README's command does, for the test suite: one emulated camera, a settings
# file and an output folder of its own, a short stream. Passes when the demo ends with status 0
# and left a bitmap of the picture it reported; the output folder (several hundred megabytes at
# full sensor size) is removed after a pass and kept after a failure, to be looked at.
#   cmake -DDEMO=<program> -DOUT=<folder> [-DRUNNER=<emulator>] [-DSECONDS=<n>] -P run_demo.cmake
foreach(required DEMO OUT)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "run_demo.cmake needs -D${required}=...")
    endif()
endforeach()
if(NOT DEFINED SECONDS)
    set(SECONDS 2)
endif()

file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
set(ENV{OSTREL_EMULATED_CAMERAS} 1)
set(ENV{OSTREL_SETTINGS_FILE} "${OUT}/settings.reg")
# In a ThreadSanitizer build: the one race the interface itself implies (see the file).
set(suppressions "suppressions=${CMAKE_CURRENT_LIST_DIR}/demo_tsan_suppressions.txt")
if(DEFINED ENV{TSAN_OPTIONS} AND NOT "$ENV{TSAN_OPTIONS}" STREQUAL "")
    set(ENV{TSAN_OPTIONS} "$ENV{TSAN_OPTIONS}:${suppressions}")
else()
    set(ENV{TSAN_OPTIONS} "${suppressions}")
endif()

# Under Wine the settings live in the test prefix's registry, which the other Windows tests share
# and change; start from a fresh profile there too, as the settings file above does on Linux.
if(RUNNER)
    execute_process(COMMAND "${RUNNER}" reg delete "HKCU\\Software\\Nembra\\Ostrel7100V3Sdk" /f
                    OUTPUT_QUIET ERROR_QUIET)
endif()

set(command "${DEMO}" "${OUT}" "${SECONDS}")
if(RUNNER)
    list(PREPEND command "${RUNNER}")
endif()
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE output
                ERROR_VARIABLE output)
message("${output}")
if(NOT status STREQUAL "0")
    message(FATAL_ERROR "the demo ended with status ${status}; its files are kept in ${OUT}")
endif()

# The demo's own bitmap: "BM", then the size fields of a 24-bit picture as large as the
# picture the demo printed.
set(bmp "${OUT}/snapshot-demo.bmp")
if(NOT EXISTS "${bmp}")
    message(FATAL_ERROR "the demo reported success but wrote no ${bmp}")
endif()
file(READ "${bmp}" header LIMIT 54 HEX)
string(SUBSTRING "${header}" 0 4 signature)
string(SUBSTRING "${header}" 56 4 bits)
if(NOT signature STREQUAL "424d" OR NOT bits STREQUAL "1800")
    message(FATAL_ERROR "${bmp} is not a 24-bit bitmap (header ${header})")
endif()
if(NOT output MATCHES "\n    ([0-9]+) x ([0-9]+) pixels, average")
    message(FATAL_ERROR "the demo did not report the snapshot's size")
endif()
math(EXPR expected "54 + (${CMAKE_MATCH_1} * 3 + 3) / 4 * 4 * ${CMAKE_MATCH_2}")
file(SIZE "${bmp}" size)
if(NOT size EQUAL expected)
    message(FATAL_ERROR "${bmp} has ${size} bytes; a ${CMAKE_MATCH_1} x ${CMAKE_MATCH_2} "
                        "picture takes ${expected}")
endif()
file(REMOVE_RECURSE "${OUT}")
