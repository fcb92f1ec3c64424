#!/bin/bash
# Grabbing throughput of the sdk's Aravis path against Aravis' own arv-camera-test-0.8, on Aravis'
# fake GigE Vision camera in a private network namespace (needs root or user namespaces, and the
# Debian package aravis-tools).
#
# Usage: bench/aravis/run_aravis_bench.sh BENCH_BINARY [seconds] [width] [height]
# Each tool runs for the same time against a fresh fake camera; CPU is the process's user+system
# time over the whole run divided by the frames received. Run it twice per socket kind: with
# Aravis' packet socket (default as root) and with a UDP socket (OSTRAVELK_ARAVIS_PACKET_SOCKET=0
# and --no-packet-socket).
set -euo pipefail
if [[ -z "${OSTRAVELK_BENCH_NS:-}" ]]; then
  if [[ $(id -u) == 0 ]]; then
    exec env OSTRAVELK_BENCH_NS=1 unshare --net "$0" "$@"
  fi
  exec env OSTRAVELK_BENCH_NS=1 unshare --net --map-root-user "$0" "$@"
fi
bench=${1:?bench binary}
seconds=${2:-10}
width=${3:-1024}
height=${4:-1024}
ip link set lo up

run_fake() {
  arv-fake-gv-camera-0.8 -i 127.0.0.1 >/dev/null 2>&1 &
  fake=$!
  sleep 0.5
}

for mode in packet udp; do
  extra=()
  if [[ $mode == udp ]]; then extra=(--no-packet-socket); export OSTRAVELK_ARAVIS_PACKET_SOCKET=0; fi
  run_fake
  TIMEFORMAT="%U %S"
  cpu=$( { time arv-camera-test-0.8 --duration="$seconds" -w "$width" -h "$height" "${extra[@]}" \
            > /tmp/ostravelk-arv-camera-test.log 2>&1; } 2>&1 )
  kill "$fake"; wait "$fake" 2>/dev/null || true
  frames=$(awk '/n_completed_buffers/ {print $3}' /tmp/ostravelk-arv-camera-test.log)
  failures=$(awk '/n_failures/ {print $3}' /tmp/ostravelk-arv-camera-test.log)
  awk -v m="$mode" -v f="$frames" -v fl="$failures" -v s="$seconds" -v c="$cpu" 'BEGIN {
    split(c, t, " "); printf "%-6s arv-camera-test: frames %d failures %d fps %.2f cpu_ms_per_frame %.3f\n",
    m, f, fl, f / s, 1000 * (t[1] + t[2]) / f }'
  run_fake
  printf "%-6s ostravelk sdk:   " "$mode"
  "$bench" "$seconds" "$width" "$height"
  kill "$fake"; wait "$fake" 2>/dev/null || true
  unset OSTRAVELK_ARAVIS_PACKET_SOCKET
done
