#!/bin/bash
# Which folder may include which: the layers of src/ reach each other only through the headers
# meant for them.
#   check_includes.sh ROOT         checks the tree at ROOT; lists every include that breaks a rule
#   check_includes.sh --self-test  plants one breaking include per rule in a scratch tree and
#                                  checks that each is reported (and that a clean tree passes)
#
# The rules:
# - Outside src/sdk/, the SDK is reached through its contract (sdk/genapi/) and its front ends
#   (sdk/transport/, sdk/grab/, sdk/image/, sdk/Sdk*.h). The backends (sdk/sim/, sdk/aravis/),
#   the in-memory nodes (sdk/nodes/) and the converter's kernels (sdk/convert/) stay inside it.
#   This holds for src/, tools/ and tests/, except that tests/sdk/ and tests/aravis/ test those
#   very parts and tests/parameters/ builds feature trees from the in-memory nodes as test
#   doubles. bench/ and fuzz/ measure and fuzz the parts themselves and are not checked.
# - src/driver/ takes from src/parameters/ only the driver settings it applies (DriverSettings.h).
# - src/sdk/ includes nothing of the driver's layers; src/ini/ and src/base/ lie below all of
#   them (src/base/ below src/ini/ too).
set -u

if [ "${1:-}" = "--self-test" ]; then
    self=$0
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    plant() {  # plant FILE HEADER
        mkdir -p "$scratch/$(dirname "$1")"
        echo "#include \"$2\"" >>"$scratch/$1"
    }
    # Includes every rule allows.
    plant src/camera/Good.cpp sdk/grab/InstantCamera.h
    plant src/driver/Good.cpp parameters/DriverSettings.h
    plant tests/parameters/GoodTest.cpp sdk/nodes/IntegerNode.h
    plant tests/sdk/GoodTest.cpp sdk/sim/SimDevice.h
    plant bench/Good.cpp sdk/convert/RowKernels.h
    if ! out=$("$self" "$scratch" 2>&1); then
        echo "self-test: a clean tree was rejected:"
        echo "$out"
        exit 1
    fi
    # One breaking include per rule.
    bad=(
        "src/camera/Bad1.cpp sdk/sim/SimDevice.h"
        "src/acquisition/Bad2.h sdk/aravis/AravisDevice.h"
        "src/parameters/Bad3.cpp sdk/nodes/IntegerNode.h"
        "src/dialog/Bad4.cpp sdk/convert/RowKernels.h"
        "tools/Bad5.cpp sdk/nodes/MemoryNodeMap.h"
        "tests/camera/Bad6Test.cpp sdk/sim/SimBackend.h"
        "tests/parameters/Bad7Test.cpp sdk/sim/SimFeatureTree.h"
        "src/driver/Bad8.cpp parameters/IniSection.h"
        "src/sdk/grab/Bad9.cpp camera/Camera.h"
        "src/ini/Bad10.cpp parameters/Param_.h"
        "src/base/Bad11.h ini/IniFile.h"
    )
    for entry in "${bad[@]}"; do
        set -- $entry
        plant "$1" "$2"
    done
    out=$("$self" "$scratch" 2>&1) && { echo "self-test: planted includes passed"; exit 1; }
    status=0
    for entry in "${bad[@]}"; do
        set -- $entry
        if ! grep -q "^$1:1: .*\"$2\"" <<<"$out"; then
            echo "self-test: not reported: $1 including $2"
            status=1
        fi
    done
    reported=$(grep -c '^[a-z]' <<<"$out")
    if [ "$reported" -ne "${#bad[@]}" ]; then
        echo "self-test: ${#bad[@]} planted includes, $reported reported:"
        echo "$out"
        status=1
    fi
    [ "$status" -eq 0 ] && echo "self-test: all ${#bad[@]} planted includes reported"
    exit "$status"
fi

root=${1:?usage: check_includes.sh ROOT | --self-test}
cd "$root" || exit 2
failures=0

# check WHY FORBIDDEN ALLOWED DIR... [-not DIR...]: every include in the C/C++ files below the
# DIRs (except below the -not DIRs) whose path matches FORBIDDEN and not ALLOWED (extended
# regular expressions over the quoted path; ALLOWED may be empty) is reported.
check() {
    local why=$1 forbidden=$2 allowed=$3
    shift 3
    local dirs=() skip=() into=dirs
    for arg in "$@"; do
        if [ "$arg" = -not ]; then
            into=skip
        elif [ "$into" = dirs ]; then
            [ -d "$arg" ] && dirs+=("$arg")
        else
            skip+=("$arg")
        fi
    done
    [ "${#dirs[@]}" -eq 0 ] && return
    local file line text path
    while IFS=: read -r file line text; do
        for s in "${skip[@]}"; do
            [[ "$file" == "$s"/* ]] && continue 2
        done
        [[ "$text" =~ \"([^\"]*)\" ]] || continue
        path=${BASH_REMATCH[1]}
        [[ "$path" =~ ^($forbidden) ]] || continue
        [ -n "$allowed" ] && [[ "$path" =~ ^($allowed)$ ]] && continue
        echo "$file:$line: \"$path\": $why"
        failures=$((failures + 1))
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' \
                 --include='*.h' --include='*.cpp' --include='*.c' "${dirs[@]}" | sort)
}

sdk_internal='sdk/(sim|aravis|nodes|convert)/'
check "SDK internals are reached through sdk/genapi, sdk/transport, sdk/grab and sdk/image" \
    "$sdk_internal" "" src tools tests -not src/sdk tests/sdk tests/aravis tests/parameters
check "the parameter tests may use the in-memory nodes, not the backends or kernels" \
    'sdk/(sim|aravis|convert)/' "" tests/parameters
check "the driver takes only its settings from the parameters" \
    'parameters/' 'parameters/DriverSettings\.h' src/driver
check "the SDK lies below the driver's layers" \
    '(driver|camera|acquisition|parameters|dialog)/' "" src/sdk
check "the INI module lies below the layers that use it" \
    '(driver|camera|acquisition|parameters|dialog|sdk)/' "" src/ini
check "src/base lies below every other folder" \
    '(driver|camera|acquisition|parameters|dialog|sdk|ini)/' "" src/base

if [ "$failures" -ne 0 ]; then
    echo "$failures include(s) break the layering"
    exit 1
fi
echo "includes follow the layering"
