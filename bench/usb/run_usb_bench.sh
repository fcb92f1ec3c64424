#!/bin/bash
# Grabbing throughput over USB3 Vision of the sdk's Aravis path against Aravis' own
# arv-camera-test-0.8, both on the same camera of the tests' USB emulator (Aravis' USB3 Vision
# code over the emulator's libusb), at the same size and frame period.
#
# Usage: bench/usb/run_usb_bench.sh BUILD_DIR [seconds] [width] [height] [period_us] [usb_mode]
# BUILD_DIR is a build with benchmarks and tests (build/release). CPU is the process's
# user+system time over the whole run divided by the frames received, for both tools.
set -euo pipefail
build=${1:?build directory}
seconds=${2:-10}
width=${3:-1024}
height=${4:-1024}
period=${5:-40000}
mode=${6:-sync}
here=$(cd "$(dirname "$0")" && pwd)
xml=$here/BenchCamera.xml
emulator=$build/tests/usb/emulator
log=$(mktemp)
trap 'rm -f "$log"' EXIT

TIMEFORMAT="%U %S"
# One run of Aravis' tool: "frames failures cpu_seconds".
arv_run() {
  local cpu
  cpu=$( { time env LD_LIBRARY_PATH="$emulator" OSTRAVELK_USB_CAMERA_XML="$xml" \
            OSTRAVELK_USB_CAMERA_PERIOD_US="$period" \
            OSTRAVELK_USB_CAMERA_MODULE="$build/bench/usb/libostravelk_usb_camera_module.so" \
            arv-camera-test-0.8 --duration="$1" -w "$width" -h "$height" \
            --usb-mode="$mode" > "$log" 2>&1; } 2>&1 )
  local frames failures
  frames=$(awk '/n_completed_buffers/ {print $3}' "$log")
  failures=$(awk '/n_failures/ {print $3}' "$log")
  if [[ -z "$frames" ]]; then
    cat "$log" >&2
    exit 1
  fi
  echo "$frames $failures $cpu" | awk '{ printf "%d %d %.3f\n", $1, $2, $3 + $4 }'
}
# One run of the sdk's: the same.
sdk_run() {
  "$build/bench/usb/ostravelk_bench_usb_grab" "$xml" "$1" "$width" "$height" "$period" |
    awk '{ printf "%d %d %.3f\n", $2, $4, $10 }'
}
# Whole-process CPU per frame of the long run, and the CPU per frame of the frames the long run
# has beyond the short one (start-up, discovery and the description's parsing cancel out).
report() {
  local name=$1 short=$2 long=$3
  awk -v n="$name" -v a="$short" -v b="$long" -v s="$seconds" 'BEGIN {
    split(a, x, " "); split(b, y, " ");
    printf "%-16s frames %d failures %d fps %.2f cpu_ms_per_frame %.3f marginal_cpu_ms_per_frame %.3f\n",
      n, y[1], y[2], y[1] / s, y[1] ? 1000 * y[3] / y[1] : 0,
      (y[1] > x[1]) ? 1000 * (y[3] - x[3]) / (y[1] - x[1]) : 0 }'
}
report arv-camera-test "$(arv_run 2)" "$(arv_run "$seconds")"
report "ostravelk sdk" "$(sdk_run 2)" "$(sdk_run "$seconds")"
