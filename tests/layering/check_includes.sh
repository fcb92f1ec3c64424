#!/bin/bash
# Which folder may include which: the layers of src/ reach each other only through the headers
# meant for them.
#   check_includes.sh ROOT         checks the tree at ROOT; lists every include that breaks a rule
#   check_includes.sh --self-test  plants one breaking include per rule in a scratch tree and
#                                  checks that each is reported (and that a clean tree passes)
#   check_includes.sh --plant-upward ROOT
#                                  copies ROOT's src/, checks that the copy passes, then plants
#                                  in a file of each folder an include of a header of the folder
#                                  above it and checks that exactly those are reported
#
# The rules:
# - Outside src/sdk/, the SDK is reached through its contract (sdk/genapi/) and its front ends
#   (sdk/transport/, sdk/grab/, sdk/image/, sdk/Sdk*.h). The backends (sdk/sim/, sdk/aravis/),
#   the in-memory nodes (sdk/nodes/) and the converter's kernels (sdk/convert/) stay inside it.
#   This holds for src/, tools/ and tests/, except that tests/sdk/ and tests/aravis/ test those
#   very parts and tests/parameters/ builds feature trees from the in-memory nodes as test
#   doubles. bench/ and fuzz/ measure and fuzz the parts themselves and are not checked.
# - The folders of src/ lie in this order, each above the ones before it:
#       base, ini, sdk, parameters, acquisition, camera, dialog, driver
#   A file includes from its own folder and the folders below it, never from one above.
# - src/driver/ takes from src/parameters/ only the driver settings it applies (DriverSettings.h).
set -u

layers=(base ini sdk parameters acquisition camera dialog driver)

# expect_reported MODE OUT "FILE HEADER"...: exits with 0 when OUT (a failed check's report)
# lists every planted include (FILE including HEADER) and nothing else; else with 1 after saying
# what is wrong. MODE names the caller in its lines.
expect_reported() {
    local mode=$1 out=$2 status=0 reported entry
    shift 2
    local planted=("$@")
    for entry in "${planted[@]}"; do
        set -- $entry
        if ! grep -q "^$1:[0-9]*: \"$2\": " <<<"$out"; then
            echo "$mode: not reported: $1 including $2"
            status=1
        fi
    done
    reported=$(grep -c '^[a-z]' <<<"$out")
    if [ "$reported" -ne "${#planted[@]}" ]; then
        echo "$mode: ${#planted[@]} planted includes, $reported reported:"
        echo "$out"
        status=1
    fi
    [ "$status" -eq 0 ] && echo "$mode: all ${#planted[@]} planted includes reported"
    exit "$status"
}

if [ "${1:-}" = "--plant-upward" ]; then
    self=$0
    root=${2:?usage: check_includes.sh --plant-upward ROOT}
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    cp -r "$root/src" "$scratch/src" || exit 2
    if ! out=$("$self" "$scratch" 2>&1); then
        echo "plant-upward: the tree fails before anything was planted:"
        echo "$out"
        exit 1
    fi
    # In the first source of each folder, an include of the first header of the folder above.
    planted=()
    for ((i = 0; i + 1 < ${#layers[@]}; ++i)); do
        file=$(cd "$scratch" && find "src/${layers[i]}" -name '*.cpp' | sort | head -n 1)
        header=$(cd "$scratch/src" && find "${layers[i + 1]}" -name '*.h' | sort | head -n 1)
        if [ -z "$file" ] || [ -z "$header" ]; then
            echo "plant-upward: no source in src/${layers[i]} or no header in src/${layers[i + 1]}"
            exit 1
        fi
        echo "#include \"$header\"" >>"$scratch/$file"
        planted+=("$file $header")
    done
    out=$("$self" "$scratch" 2>&1) && { echo "plant-upward: the upward includes passed"; exit 1; }
    expect_reported plant-upward "$out" "${planted[@]}"
fi

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
    plant src/driver/Good.cpp camera/Camera.h
    plant src/dialog/Good.cpp camera/ConfigurationTarget.h
    plant src/acquisition/Good.cpp parameters/CameraParameters.h
    plant src/sdk/Good.cpp base/DriverState.h
    plant src/ini/Good.cpp base/NoCaseLess.h
    plant src/base/Good.cpp base/FileCalls.h
    plant src/camera/Good.cpp ostravelk/ostravelk.h
    plant src/camera/Good.cpp ../base/DriverState.h
    plant src/dialog/Good.cpp Good.cpp
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
        "src/base/Bad12.cpp sdk/genapi/GenericException.h"
        "src/parameters/Bad13.cpp acquisition/ImgBuffers.h"
        "src/acquisition/Bad14.cpp camera/Camera.h"
        "src/camera/Bad15.h dialog/ConfigurationDialog.h"
        "src/dialog/Bad16.cpp driver/DriverTeardown.h"
        "src/sdk/grab/Bad17.cpp base/../parameters/Param_.h"
        "src/acquisition/Bad18.cpp ../camera/Camera.h"
        "src/parameters/Bad19.cpp ../sdk/sim/SimDevice.h"
    )
    for entry in "${bad[@]}"; do
        set -- $entry
        plant "$1" "$2"
    done
    out=$("$self" "$scratch" 2>&1) && { echo "self-test: planted includes passed"; exit 1; }
    expect_reported self-test "$out" "${bad[@]}"
fi

root=${1:?usage: check_includes.sh ROOT | --self-test}
cd "$root" || exit 2
failures=0

# resolve FILE PATH: sets resolved to the path, as from src/, of the header that FILE's include of
# PATH names: a path that begins with "." from FILE's folder, one with "." or ".." further on from
# src/, a bare name from FILE's folder when the header is there. So "../camera/Camera.h" and
# "base/../camera/Camera.h" count as "camera/Camera.h".
resolve() {
    local file=$1 path=$2
    resolved=$path
    if [[ "$path" == .* ]]; then
        resolved=$(realpath -m --relative-to=src "${file%/*}/$path")
    elif [[ "$path" == *./* ]]; then
        resolved=$(realpath -m --relative-to=src "src/$path")
    elif [[ "$path" != */* && -e "${file%/*}/$path" ]]; then
        resolved=$(realpath -m --relative-to=src "${file%/*}/$path")
    fi
}

# check WHY FORBIDDEN ALLOWED DIR... [-not DIR...]: every include in the C/C++ files below the
# DIRs (except below the -not DIRs) whose path matches FORBIDDEN and not ALLOWED (extended
# regular expressions over the resolved path; ALLOWED may be empty) is reported.
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
        written=${BASH_REMATCH[1]}
        resolve "$file" "$written"
        path=$resolved
        [[ "$path" =~ ^($forbidden) ]] || continue
        [ -n "$allowed" ] && [[ "$path" =~ ^($allowed)$ ]] && continue
        echo "$file:$line: \"$written\": $why"
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
# A folder may include from the folders before it in the order, and from itself.
for ((i = 0; i + 1 < ${#layers[@]}; ++i)); do
    above=$(IFS='|'; echo "${layers[*]:i+1}")
    check "src/${layers[i]} lies below src/{$above}" "($above)/" "" "src/${layers[i]}"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures include(s) break the layering"
    exit 1
fi
echo "includes follow the layering"
