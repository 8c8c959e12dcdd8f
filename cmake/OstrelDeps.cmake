# Third-party libraries. Natively they come from Debian's -dev packages; for Windows they are
# built static by scripts/build-win-deps and found under OSTREL_WIN_DEPS.
find_package(Threads REQUIRED)

add_library(ostrel_image_libs INTERFACE)
if(WIN32)
    set(OSTREL_WIN_DEPS "$ENV{HOME}/.cache/ostrel/win-deps" CACHE PATH
        "Prefix of the static Windows builds of libjpeg-turbo, libpng and libtiff")
    set(_mingw_root "/usr/i686-w64-mingw32")
    if(EXISTS "${OSTREL_WIN_DEPS}/lib/libtiff.a")
        target_include_directories(ostrel_image_libs INTERFACE "${OSTREL_WIN_DEPS}/include")
        # libtiff's own CMake package is unusable when static: link in dependency order.
        target_link_libraries(ostrel_image_libs INTERFACE
            "${OSTREL_WIN_DEPS}/lib/libtiff.a"
            "${OSTREL_WIN_DEPS}/lib/libjpeg.a"
            "${OSTREL_WIN_DEPS}/lib/libpng16.a"
            "${_mingw_root}/lib/libz.a")
        set(OSTREL_HAVE_IMAGE_LIBS ON)
    else()
        message(WARNING "Windows image libraries not found under ${OSTREL_WIN_DEPS}; "
                        "run scripts/build-win-deps first")
        set(OSTREL_HAVE_IMAGE_LIBS OFF)
    endif()
else()
    find_package(JPEG REQUIRED)
    find_package(PNG REQUIRED)
    find_package(TIFF REQUIRED)
    target_link_libraries(ostrel_image_libs INTERFACE TIFF::TIFF JPEG::JPEG PNG::PNG)
    set(OSTREL_HAVE_IMAGE_LIBS ON)
endif()

if(OSTREL_BUILD_TESTS)
    find_package(GTest REQUIRED)
endif()
