# Cross-compiling for 32-bit Windows with mingw-w64's posix thread model (std::thread needs it).
# Used for the SDK itself and for the static image libraries and GoogleTest it links with.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(OSTREL_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${OSTREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OSTREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${OSTREL_MINGW_TRIPLET}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

# The prefix of the static Windows builds of libjpeg-turbo, libpng, libtiff and GoogleTest
# (scripts/build-win-deps). A value given on the command line or by a preset wins, then the
# environment's, so the dependency script and the SDK build agree on one place. An empty value
# (a preset passing on an unset environment variable) counts as none given.
if(NOT OSTREL_WIN_DEPS)
    if(NOT "$ENV{OSTREL_WIN_DEPS}" STREQUAL "")
        set(_ostrel_win_deps "$ENV{OSTREL_WIN_DEPS}")
    else()
        set(_ostrel_win_deps "$ENV{HOME}/.cache/ostrel/win-deps")
    endif()
    set(OSTREL_WIN_DEPS "${_ostrel_win_deps}" CACHE PATH "Prefix of the static Windows deps"
        FORCE)
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${OSTREL_MINGW_TRIPLET} "${OSTREL_WIN_DEPS}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The Windows-GNU platform files prefer the import library libz.dll.a; everything here is linked
# statically, so zlib is pinned to the archive.
set(ZLIB_INCLUDE_DIR /usr/${OSTREL_MINGW_TRIPLET}/include CACHE PATH "zlib headers")
set(ZLIB_LIBRARY /usr/${OSTREL_MINGW_TRIPLET}/lib/libz.a CACHE FILEPATH "static zlib")

# Exact floating point on i686: SSE2 arithmetic instead of x87, no fused multiply-adds.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -ffp-contract=off")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -ffp-contract=off")

# Test programs and try_run checks execute through Wine.
get_filename_component(_ostrel_repo "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_ostrel_repo}/scripts/wine-run")
