# Packages made by CPack from the install rules (OstrelInstall.cmake): on Linux a Debian
# package of the SDK, for Windows a zip of the SDK. scripts/package makes both.
set(OSTREL_PACKAGE_CONTACT "Nembra Ostrel SDK <ostrel-sdk@nembra.invalid>" CACHE STRING
    "Maintainer named in the Debian package")

set(CPACK_PACKAGE_NAME "ostrel-sdk")
set(CPACK_PACKAGE_VENDOR "Nembra")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "SDK of the Ostrel 7100VRX USB 3.0 industrial camera")
set(CPACK_PACKAGE_CONTACT "${OSTREL_PACKAGE_CONTACT}")
set(CPACK_RESOURCE_FILE_README "${PROJECT_SOURCE_DIR}/README.md")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
# Only the SDK: no test programs or build-tree leftovers.
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win32)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION libs)
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "SDK of the Ostrel 7100VRX USB 3.0 industrial camera\n"
        "The camera library with its C header, pkg-config and CMake files, the samples, the\n"
        "ostrel Python package (NumPy frames) and a udev rule that gives the camera to the\n"
        "logged-in user and the plugdev group.")
    string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
    # The library's own dependencies (C and C++ runtime, JPEG, PNG, TIFF) come from
    # dpkg-shlibdeps; the Python package needs NumPy, which C users can do without.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3, python3-numpy")
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pkgconf, cmake, python3-opencv")
    # The library enters the loader cache through the ldconfig trigger.
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/packaging/postinst"
                                           "${PROJECT_SOURCE_DIR}/packaging/triggers")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
