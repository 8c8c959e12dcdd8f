# Third-party libraries. Natively they come from Debian's -dev packages; for Windows they are
# built static by scripts/build-win-deps and found under OSTREL_WIN_DEPS.
find_package(Threads REQUIRED)

add_library(ostrel_image_libs INTERFACE)
if(WIN32)
    # Normally set by the toolchain file; kept here for a build configured without it.
    set(OSTREL_WIN_DEPS "$ENV{HOME}/.cache/ostrel/win-deps" CACHE PATH
        "Prefix of the static Windows builds of libjpeg-turbo, libpng, libtiff and GoogleTest")
    set(_mingw_root "/usr/i686-w64-mingw32")
    foreach(lib libtiff.a libjpeg.a libpng16.a)
        if(NOT EXISTS "${OSTREL_WIN_DEPS}/lib/${lib}")
            message(FATAL_ERROR "${OSTREL_WIN_DEPS}/lib/${lib} not found: "
                                "run scripts/build-win-deps first")
        endif()
    endforeach()
    target_include_directories(ostrel_image_libs INTERFACE "${OSTREL_WIN_DEPS}/include")
    # libtiff's own CMake package is unusable when static: link in dependency order.
    target_link_libraries(ostrel_image_libs INTERFACE
        "${OSTREL_WIN_DEPS}/lib/libtiff.a"
        "${OSTREL_WIN_DEPS}/lib/libjpeg.a"
        "${OSTREL_WIN_DEPS}/lib/libpng16.a"
        "${_mingw_root}/lib/libz.a")
else()
    find_package(JPEG REQUIRED)
    find_package(PNG REQUIRED)
    find_package(TIFF REQUIRED)
    target_link_libraries(ostrel_image_libs INTERFACE TIFF::TIFF JPEG::JPEG PNG::PNG)
endif()
set(OSTREL_HAVE_IMAGE_LIBS ON)

if(OSTREL_BUILD_TESTS)
    # Windows: the cross-compiled GoogleTest under OSTREL_WIN_DEPS, through the toolchain's
    # find-root path; natively Debian's libgtest-dev and libgmock-dev.
    find_package(GTest CONFIG QUIET)
    if(NOT GTest_FOUND)
        find_package(GTest REQUIRED)
    endif()
    foreach(target GTest::gtest GTest::gmock GTest::gtest_main)
        if(NOT TARGET ${target})
            message(FATAL_ERROR "GoogleTest is incomplete: ${target} is missing")
        endif()
    endforeach()
endif()
