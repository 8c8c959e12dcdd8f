#!/usr/bin/env bash
# Installs a built tree with `cmake --install`, moves the installed tree elsewhere (its files
# must not name the place they were installed to) and builds against it as an SDK user does:
# the installed samples through find_package(OstrelSdk), and a program through pkg-config.
#   install_test.sh BUILD_TREE SCRATCH_FOLDER
set -euo pipefail

build="$1" scratch="$2"
rm -rf "$scratch"
mkdir -p "$scratch"
failed=0
fail() { echo "install test: FAILED: $*"; failed=1; }

cmake --install "$build" --prefix "$scratch/staged" >"$scratch/install.log"
mv "$scratch/staged" "$scratch/sdk"
sdk="$scratch/sdk"
library=libOstrelSdk_USB3_7100VRX.so

expected=(
    include/OstrelSdk.h
    "lib/$library" "lib/$library.1" "lib/$library.1.0.0"
    lib/pkgconfig/ostrel-sdk.pc
    lib/cmake/OstrelSdk/OstrelSdkConfig.cmake
    lib/cmake/OstrelSdk/OstrelSdkConfigVersion.cmake
    lib/cmake/OstrelSdk/OstrelSdkTargets.cmake
    share/ostrel-sdk/samples/demo.c
    share/ostrel-sdk/samples/CMakeLists.txt
    share/ostrel-sdk/python-examples/snap_png.py
    share/doc/ostrel-sdk/README.md
    lib/python3/dist-packages/ostrel/__init__.py
    lib/python3/dist-packages/ostrel/py.typed
    lib/udev/rules.d/70-ostrel-7100vrx.rules
)
for file in "${expected[@]}"; do
    [[ -e "$sdk/$file" ]] || fail "not installed: $file"
done
soname="$(readelf -d "$sdk/lib/$library.1.0.0" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')"
[[ "$soname" == "$library.1" ]] || fail "soname is '$soname', expected $library.1"
[[ "$(readlink "$sdk/lib/$library")" == "$library.1" ]] || fail "$library does not link to the soname"

# A program built against the moved tree must load the library from it.
loads_from_sdk() {  # loads_from_sdk PROGRAM HOW
    local resolved
    resolved="$(ldd "$1" | awk -v lib="$library.1" '$1 == lib { print $3 }')"
    [[ "$resolved" == "$sdk/lib/"* ]] || fail "$2: $1 loads '$resolved' instead of the SDK's"
}

# find_package: the installed samples' own CMakeLists.txt, and a version the SDK is not.
if cmake -S "$sdk/share/ostrel-sdk/samples" -B "$scratch/samples" -G Ninja \
        -DCMAKE_PREFIX_PATH="$sdk" >"$scratch/samples.log" 2>&1 &&
        cmake --build "$scratch/samples" >>"$scratch/samples.log" 2>&1; then
    loads_from_sdk "$scratch/samples/demo" find_package
else
    cat "$scratch/samples.log"
    fail "find_package: the installed samples do not build"
fi
mkdir -p "$scratch/wrong-version"
cat >"$scratch/wrong-version/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(WrongVersion LANGUAGES C)
find_package(OstrelSdk 2.0 REQUIRED)
CMAKE
if cmake -S "$scratch/wrong-version" -B "$scratch/wrong-version/build" \
        -DCMAKE_PREFIX_PATH="$sdk" >/dev/null 2>&1; then
    fail "find_package(OstrelSdk 2.0) accepted a 1.x SDK"
fi

# pkg-config: the demo, and a program that runs and calls the library.
export PKG_CONFIG_PATH="$sdk/lib/pkgconfig"
[[ "$(pkg-config --modversion ostrel-sdk)" == 1.0 ]] || fail "pkg-config version"
[[ "$(pkg-config --variable=libdir ostrel-sdk)" -ef "$sdk/lib" ]] || fail "pkg-config libdir"
read -ra flags <<<"$(pkg-config --cflags --libs ostrel-sdk)"
rpath="-Wl,-rpath,$(pkg-config --variable=libdir ostrel-sdk)"
cat >"$scratch/version.c" <<'C'
#include <OstrelSdk.h>
#include <stdio.h>
int main(void) {
    printf("%08x\n", (unsigned)Ostrel_GetDllVersion());
    return Ostrel_GetDllVersion() == OSTREL_DLL_VERSION ? 0 : 1;
}
C
if cc -std=c99 -o "$scratch/demo-pc" "$sdk/share/ostrel-sdk/samples/demo.c" "${flags[@]}" \
        "$rpath" && cc -std=c99 -o "$scratch/version" "$scratch/version.c" "${flags[@]}" "$rpath"; then
    loads_from_sdk "$scratch/demo-pc" pkg-config
    [[ "$("$scratch/version")" == 01360519 ]] || fail "pkg-config: the program did not run"
else
    fail "pkg-config: the demo or the version program does not build"
fi

[[ $failed -eq 0 ]] || exit 1
echo "install test: the installed SDK builds through find_package and pkg-config"
rm -rf "$scratch"
