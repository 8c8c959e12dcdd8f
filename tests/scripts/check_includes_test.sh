#!/usr/bin/env bash
# The module include check against copies of the source tree: it must pass on the tree as it is,
# pass an include the table allows, and fail, naming the file, on each include it forbids.
# Usage: check_includes_test.sh CHECKER SOURCE-FOLDER SCRATCH-FOLDER
set -euo pipefail
checker="$1" src="$2" scratch="$3"

rm -rf "$scratch"
mkdir -p "$scratch"
trap 'rm -rf "$scratch"' EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The copy as the tree is, with one line added to the end of one file (the line added before is
# taken out first).
changed=""
copy_with() {  # copy_with FILE LINE
    if [[ -n "$changed" ]]; then
        if [[ -f "$src/$changed" ]]; then
            cp "$src/$changed" "$scratch/src/$changed"
        else
            rm -f "$scratch/src/$changed"
            # and the module folder made for it, when the tree has none
            [[ -d "$src/${changed%%/*}" ]] || rm -rf "$scratch/src/${changed%%/*}"
        fi
    fi
    changed="$1"
    mkdir -p "$scratch/src/$(dirname "$1")"
    printf '%s\n' "$2" >>"$scratch/src/$1"
}

# module file, included header, expected outcome (pass or fail)
cases=(
    "imaging/dib_image.cpp|context/camera_context.h|fail"
    "device/camera_device.h|imaging/dib_image.h|fail"
    "platform/text.h|device/camera_device.h|fail"
    "output/save_image.cpp|ui/preview_window.h|fail"
    "ui/preview_window.cpp|context/camera_context.h|fail"
    "context/camera_context.h|api/handle_registry.h|fail"
    "settings/settings_store.cpp|ui/preview_window.h|fail"
    "context/camera_context.h|device/camera_device.h|pass"
    "ui/preview_window.cpp|settings/settings_store.h|pass"
    "imaging/dib_image.cpp|platform/image_memory.h|pass"
)

cp -r "$src" "$scratch/src"
"$checker" "$scratch/src" >"$scratch/out" 2>&1 || fail "the unchanged tree: $(cat "$scratch/out")"

for entry in "${cases[@]}"; do
    IFS='|' read -r file header expected <<<"$entry"
    copy_with "$file" "#include \"$header\""
    if "$checker" "$scratch/src" >"$scratch/out" 2>&1; then
        [[ "$expected" == pass ]] || fail "$file including $header was let through"
    else
        if [[ "$expected" == pass ]]; then
            fail "$file including $header was refused: $(cat "$scratch/out")"
        elif ! grep -q "src/$file:[0-9]*: .*$header" "$scratch/out"; then
            fail "$file including $header: the report does not name it: $(cat "$scratch/out")"
        fi
    fi
done

# A module folder that the table does not name.
copy_with "newmodule/thing.cpp" '#include "platform/text.h"'
"$checker" "$scratch/src" >"$scratch/out" 2>&1 && fail "a module folder outside the table was let through"

[[ $failures -eq 0 ]] && echo "check-includes: all cases behaved as expected"
[[ $failures -eq 0 ]]
