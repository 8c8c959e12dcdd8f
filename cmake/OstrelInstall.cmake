# The installed SDK, as `cmake --install` and the packages lay it out:
#   include/OstrelSdk.h
#   lib/libOstrelSdk_USB3_7100VRX.so.1.0.0 with its soname link (Linux), or
#   bin/OstrelSdk_USB3_7100VRX.dll, lib/libOstrelSdk_USB3_7100VRX.dll.a and lib/OstrelSdk.def
#   lib/pkgconfig/ostrel-sdk.pc            pkg-config
#   lib/cmake/OstrelSdk/                   find_package(OstrelSdk), target OstrelSdk::OstrelSdk
#   share/ostrel-sdk/samples/              the samples with a CMakeLists.txt of their own
#   share/ostrel-sdk/python-examples/      the Python examples
#   share/doc/ostrel-sdk/README.md
#   Linux also: the Python package and the udev rule that lets users open the camera's disk;
#   Windows: the Python package's source in python/.
include(CMakePackageConfigHelpers)

set(OSTREL_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/OstrelSdk")
set(OSTREL_SHARE_DIR "${CMAKE_INSTALL_DATADIR}/ostrel-sdk")

install(TARGETS OstrelSdk EXPORT OstrelSdkTargets
        RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
        LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" NAMELINK_COMPONENT Unspecified
        ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}"
        INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/include/OstrelSdk.h"
        DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
if(WIN32)
    # For applications linked by other toolchains (lib.exe /def: makes an MSVC import library).
    install(FILES "${PROJECT_SOURCE_DIR}/src/api/OstrelSdk.def"
            DESTINATION "${CMAKE_INSTALL_LIBDIR}")
endif()

# pkg-config: paths relative to the .pc file, so an installed tree can be moved.
file(RELATIVE_PATH OSTREL_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file("${PROJECT_SOURCE_DIR}/cmake/ostrel-sdk.pc.in"
               "${PROJECT_BINARY_DIR}/ostrel-sdk.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/ostrel-sdk.pc"
        DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")

# CMake package: the imported target and a version file (same major version is compatible).
install(EXPORT OstrelSdkTargets NAMESPACE OstrelSdk:: DESTINATION "${OSTREL_CMAKE_DIR}")
configure_package_config_file("${PROJECT_SOURCE_DIR}/cmake/OstrelSdkConfig.cmake.in"
                              "${PROJECT_BINARY_DIR}/OstrelSdkConfig.cmake"
                              INSTALL_DESTINATION "${OSTREL_CMAKE_DIR}")
write_basic_package_version_file("${PROJECT_BINARY_DIR}/OstrelSdkConfigVersion.cmake"
                                 COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/OstrelSdkConfig.cmake"
              "${PROJECT_BINARY_DIR}/OstrelSdkConfigVersion.cmake"
        DESTINATION "${OSTREL_CMAKE_DIR}")

install(FILES "${PROJECT_SOURCE_DIR}/samples/demo.c" "${PROJECT_SOURCE_DIR}/samples/CMakeLists.txt"
        DESTINATION "${OSTREL_SHARE_DIR}/samples")
install(DIRECTORY "${PROJECT_SOURCE_DIR}/python/examples/"
        DESTINATION "${OSTREL_SHARE_DIR}/python-examples" PATTERN "__pycache__" EXCLUDE)
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/ostrel-sdk")

if(WIN32)
    # The Python package's source, for `pip install python` with a 32-bit Python (put the DLL
    # beside the package or name it in OSTREL_SDK_LIBRARY).
    install(DIRECTORY "${PROJECT_SOURCE_DIR}/python/ostrel"
            DESTINATION python PATTERN "__pycache__" EXCLUDE)
    install(FILES "${PROJECT_SOURCE_DIR}/python/pyproject.toml" DESTINATION python)
else()
    # The Python package, where Debian's python3 finds it (dist-packages of the prefix), and
    # the rule that gives the camera's disk to the logged-in user and the plugdev group.
    install(DIRECTORY "${PROJECT_SOURCE_DIR}/python/ostrel"
            DESTINATION "lib/python3/dist-packages"
            PATTERN "__pycache__" EXCLUDE)
    install(FILES "${PROJECT_SOURCE_DIR}/packaging/70-ostrel-7100vrx.rules"
            DESTINATION "lib/udev/rules.d")
endif()
