# The fuzz build (OSTREL_FUZZ=ON, with clang): every target is compiled with libFuzzer's coverage
# instrumentation and AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz targets in
# fuzz/ are linked with libFuzzer's driver. Use a tree of its own, e.g.
#   CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DOSTREL_FUZZ=ON -DOSTREL_BUILD_TESTS=OFF
# and scripts/fuzz to run the targets.
option(OSTREL_FUZZ "Build the libFuzzer targets (clang only; instruments the whole tree)" OFF)
if(NOT OSTREL_FUZZ)
    return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "OSTREL_FUZZ needs clang (CC=clang CXX=clang++)")
endif()
if(NOT OSTREL_SANITIZE STREQUAL "")
    message(FATAL_ERROR "OSTREL_FUZZ brings its own sanitizers: leave OSTREL_SANITIZE empty")
endif()
set(CMAKE_CXX_FLAGS_RELEASE "-O1 -g")
set(CMAKE_C_FLAGS_RELEASE "-O1 -g")
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
