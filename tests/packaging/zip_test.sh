#!/usr/bin/env bash
# Makes the zip of the Windows SDK from a built Windows tree with CPack, unpacks it and checks
# that it holds exactly the SDK: the DLL (with its export list intact), its import library and
# .def, the header, the samples, the discovery files and the README.
#   zip_test.sh BUILD_TREE SCRATCH_FOLDER
set -euo pipefail

build="$1" scratch="$2"
source_root="$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)"
rm -rf "$scratch"
mkdir -p "$scratch/unpacked"
failed=0
fail() { echo "zip test: FAILED: $*"; failed=1; }

cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; exit 1; }
zips=("$scratch"/out/*.zip)
[[ ${#zips[@]} -eq 1 && -f "${zips[0]}" ]] || { echo "zip test: FAILED: no single zip"; exit 1; }
(cd "$scratch/unpacked" && cmake -E tar xf "${zips[0]}")
top="$scratch/unpacked/$(basename "${zips[0]}" .zip)"
[[ -d "$top" ]] || { echo "zip test: FAILED: no folder $(basename "$top") in the zip"; exit 1; }

expected=(
    bin/OstrelSdk_USB3_7100VRX.dll
    lib/libOstrelSdk_USB3_7100VRX.dll.a
    lib/OstrelSdk.def
    include/OstrelSdk.h
    lib/pkgconfig/ostrel-sdk.pc
    lib/cmake/OstrelSdk/OstrelSdkConfig.cmake
    lib/cmake/OstrelSdk/OstrelSdkConfigVersion.cmake
    lib/cmake/OstrelSdk/OstrelSdkTargets.cmake
    lib/cmake/OstrelSdk/OstrelSdkTargets-release.cmake
    share/ostrel-sdk/samples/demo.c
    share/ostrel-sdk/samples/CMakeLists.txt
    share/doc/ostrel-sdk/README.md
)
while IFS= read -r file; do
    expected+=("$file")
done < <(cd "$source_root" && find python/ostrel python/pyproject.toml -type f ! -path '*__pycache__*'
         cd python/examples && find . -type f ! -path '*__pycache__*' |
             sed 's|^\./|share/ostrel-sdk/python-examples/|')
printf '%s\n' "${expected[@]}" | sort >"$scratch/expected"
(cd "$top" && find . ! -type d | sed 's|^\./||' | sort) >"$scratch/actual"
if ! diff -u "$scratch/expected" "$scratch/actual"; then
    fail "the zip's files differ from the SDK's"
fi
cmp -s "$top/lib/OstrelSdk.def" "$source_root/src/api/OstrelSdk.def" || fail ".def differs"
cmp -s "$top/include/OstrelSdk.h" "$source_root/include/OstrelSdk.h" || fail "header differs"
# The packed DLL is the product: 117 undecorated exports at 103 addresses, self-contained.
"$source_root/scripts/check-exports" dll "$top/bin/OstrelSdk_USB3_7100VRX.dll" \
    "$source_root/src/api/OstrelSdk.def" 117 103 || fail "the packed DLL's exports"

[[ $failed -eq 0 ]] || exit 1
echo "zip test: $(basename "${zips[0]}") holds the Windows SDK"
rm -rf "$scratch"
