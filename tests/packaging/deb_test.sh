#!/usr/bin/env bash
# Makes the Debian package of a built tree with CPack and checks it without installing it on
# the machine: its control fields and dependencies (dpkg -I), its files unpacked into a scratch
# root (dpkg-deb -x), the library and the Python package loaded from there, and the udev rule.
#   deb_test.sh BUILD_TREE SCRATCH_FOLDER RULE_CHECK
set -euo pipefail

build="$1" scratch="$2" rule_check="$3"
rm -rf "$scratch"
mkdir -p "$scratch"
failed=0
fail() { echo "deb test: FAILED: $*"; failed=1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; exit 1; }
debs=("$scratch"/out/*.deb)
[[ ${#debs[@]} -eq 1 && -f "${debs[0]}" ]] || { echo "deb test: FAILED: no single .deb"; exit 1; }
deb="${debs[0]}"
root="$scratch/root"
dpkg-deb -x "$deb" "$root"
dpkg -I "$deb" >"$scratch/info"

field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == ostrel-sdk ]] || fail "package name '$(field Package)'"
[[ "$(field Architecture)" == "$(dpkg --print-architecture)" ]] || fail "architecture"
[[ "$(field Version)" == 1.0.* || "$(field Version)" == 1.0 ]] || fail "version '$(field Version)'"
# The library's own needs, found by dpkg-shlibdeps; NumPy for the Python package.
for dependency in libc6 libstdc++6 libgcc-s1 libjpeg62-turbo libpng16-16 libtiff6; do
    field Depends | tr ',' '\n' | grep -q "^ *$dependency\b" || fail "Depends lacks $dependency"
done
field Recommends | grep -q python3-numpy || fail "Recommends lacks python3-numpy"
grep -q "shlibs" "$scratch/info" || fail "no shlibs control file"
for part in postinst triggers; do
    grep -q " $part " "$scratch/info" || fail "no $part control file"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./triggers | grep -qx "activate-noawait ldconfig" ||
    fail "the loader cache is not renewed on install"

# Exactly the SDK's files: nothing of the build tree (test programs, objects) leaks in.
library=usr/lib/libOstrelSdk_USB3_7100VRX.so
expected=(
    usr/include/OstrelSdk.h "$library" "$library.1" "$library.1.0.0"
    usr/lib/pkgconfig/ostrel-sdk.pc
    usr/lib/cmake/OstrelSdk/OstrelSdkConfig.cmake
    usr/lib/cmake/OstrelSdk/OstrelSdkConfigVersion.cmake
    usr/lib/cmake/OstrelSdk/OstrelSdkTargets.cmake
    usr/lib/cmake/OstrelSdk/OstrelSdkTargets-release.cmake
    usr/lib/udev/rules.d/70-ostrel-7100vrx.rules
    usr/share/ostrel-sdk/samples/demo.c usr/share/ostrel-sdk/samples/CMakeLists.txt
    usr/share/doc/ostrel-sdk/README.md
)
source_root="$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)"
while IFS= read -r file; do
    expected+=("usr/lib/python3/dist-packages/ostrel/$file")
done < <(cd "$source_root/python/ostrel" && find . -type f ! -path '*__pycache__*' | sed 's|^\./||')
while IFS= read -r file; do
    expected+=("usr/share/ostrel-sdk/python-examples/$file")
done < <(cd "$source_root/python/examples" && find . -type f ! -path '*__pycache__*' | sed 's|^\./||')
printf '%s\n' "${expected[@]}" | sort >"$scratch/expected"
(cd "$root" && find . ! -type d | sed 's|^\./||' | sort) >"$scratch/actual"
if ! diff -u "$scratch/expected" "$scratch/actual" >"$scratch/files.diff"; then
    cat "$scratch/files.diff"
    fail "the package's files differ from the SDK's"
fi
grep -q "libdir=\${prefix}/lib" "$root/usr/lib/pkgconfig/ostrel-sdk.pc" || fail ".pc libdir"

# The packaged Python package over the packaged library, found by its soname.
if ! LD_LIBRARY_PATH="$root/usr/lib" PYTHONPATH="$root/usr/lib/python3/dist-packages" \
        OSTREL_SDK_LIBRARY= "${OSTREL_PYTHON:-/usr/bin/python3}" -c \
        'import ostrel, sys; sys.exit(ostrel.dll_version() != 0x01360519)'; then
    fail "the packaged Python package does not load the packaged library"
fi

"$rule_check" "$root/usr/lib/udev/rules.d/70-ostrel-7100vrx.rules" || fail "udev rule"

[[ $failed -eq 0 ]] || exit 1
echo "deb test: $(basename "$deb") holds the SDK and its dependencies are declared"
rm -rf "$scratch"
