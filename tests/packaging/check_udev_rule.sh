#!/usr/bin/env bash
# Checks the camera's udev rule: `udevadm verify` where this udev has it; in every case a check
# of its syntax (known keys, operators that suit them, quoted values, labels that GOTO names)
# and of whom it lets in: the rule's vendor and model patterns are tried on the inquiry texts of
# the camera and of other disks, and a match must give the disk to plugdev and the seat's user.
#   check_udev_rule.sh RULE_FILE
set -euo pipefail

rule="$1"
failed=0
fail() { echo "udev rule check: FAILED: $*"; failed=1; }

if udevadm verify --help >/dev/null 2>&1; then
    udevadm verify --resolve-names=never "$rule" || fail "udevadm verify rejects $rule"
else
    echo "udev rule check: this udevadm has no verify; checking the keys"
fi

match_keys="ACTION|DEVPATH|KERNEL|KERNELS|NAME|SYMLINK|SUBSYSTEM|SUBSYSTEMS|DRIVER|DRIVERS|ATTR|ATTRS|SYSCTL|ENV|CONST|TAG|TAGS|TEST|PROGRAM|RESULT"
assign_keys="NAME|SYMLINK|OWNER|GROUP|MODE|SECLABEL|ATTR|SYSCTL|ENV|TAG|RUN|LABEL|GOTO|IMPORT|OPTIONS"
# Continued lines joined, comments and blank lines dropped.
mapfile -t lines < <(sed -e ':a' -e '/\\$/N; s/\\\n//; ta' "$rule" | grep -v '^[[:space:]]*\(#\|$\)')
labels=() gotos=() grant=""
for line in "${lines[@]}"; do
    IFS=',' read -ra tokens <<<"$line"
    for token in "${tokens[@]}"; do
        token="${token#"${token%%[![:space:]]*}"}"
        token="${token%"${token##*[![:space:]]}"}"
        if [[ ! "$token" =~ ^([A-Z]+)(\{[A-Za-z0-9_.]+\})?(==|!=|\+=|-=|:=|=)\"([^\"]*)\"$ ]]; then
            fail "not a key, an operator and a quoted value: '$token'"
            continue
        fi
        key="${BASH_REMATCH[1]}" op="${BASH_REMATCH[3]}" value="${BASH_REMATCH[4]}"
        if [[ "$op" == "==" || "$op" == "!=" ]]; then
            [[ "$key" =~ ^($match_keys)$ ]] || fail "$key cannot be matched"
        else
            [[ "$key" =~ ^($assign_keys)$ ]] || fail "$key cannot be assigned"
        fi
        [[ "$key" == LABEL ]] && labels+=("$value")
        [[ "$key" == GOTO ]] && gotos+=("$value")
    done
    if [[ "$line" == *'ATTRS{vendor}'* ]]; then
        grant="$line"
    fi
done
for target in "${gotos[@]}"; do
    [[ " ${labels[*]} " == *" $target "* ]] || fail "GOTO $target has no LABEL"
done

[[ -n "$grant" ]] || { fail "no line matches the vendor"; exit 1; }
for assignment in 'GROUP="plugdev"' 'MODE="0660"' 'TAG+="uaccess"' 'SUBSYSTEMS=="scsi"'; do
    [[ "$grant" == *"$assignment"* ]] || fail "the camera's line lacks $assignment"
done
grep -q '^SUBSYSTEM!="block", GOTO=' "$rule" || fail "the rule is not limited to block devices"
grep -q '^ENV{DEVTYPE}!="disk", GOTO=' "$rule" || fail "the rule is not limited to whole disks"

# Whom the patterns let in: sysfs inquiry texts are padded with spaces (vendor to 8 characters,
# model to 16). vendor | model | 1 when the disk is the camera's.
pattern() { sed -n "s/.*ATTRS{$1}==\"\([^\"]*\)\".*/\1/p" <<<"$grant"; }
vendor_pattern="$(pattern vendor)" model_pattern="$(pattern model)"
while IFS='|' read -r vendor model camera; do
    # shellcheck disable=SC2053  # the patterns are globs, as udev reads them
    if [[ "$vendor" == $vendor_pattern && "$model" == $model_pattern ]]; then got=1; else got=0; fi
    [[ "$got" == "$camera" ]] || fail "vendor '$vendor' model '$model': match $got, expected $camera"
done <<'DISKS'
NEMBRA  |USB3.0 7100VRX  |1
NEMBRA  |USB3.0_7100VRX  |1
NEMBRA  |USB2.0 7100VRX  |0
SanDisk |Ultra USB 3.0   |0
Generic |USB3.0 CRW-SD   |0
nembra  |USB3.0 7100VRX  |0
DISKS

[[ $failed -eq 0 ]] || exit 1
echo "udev rule check: $rule passed"
