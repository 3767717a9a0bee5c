#!/usr/bin/env bash
# A hundred simulated devices upgraded by kestrel-cli in waves of twenty, each device
# checked to come back with the new version after its restart. Prints the command's
# exit code, its summary line, the wall-clock time and the station's peak memory
# (maximum resident set size, from /usr/bin/time -v).
#
#   bench/upgrade_fleet_waves.sh [--devices N] [--wave W] [--mb MB] [--restart-ms MS]
#
# Uses build/release when it holds the programs, else build/dev (or KESTREL_BUILD_DIR).
# Runs in a network namespace of its own (needs root): nothing leaves the machine.
set -euo pipefail

devices=100
wave=20
mb=4
restart_ms=3000
while [[ $# -gt 0 ]]; do
    case "$1" in
        --devices) devices=$2; shift 2 ;;
        --wave) wave=$2; shift 2 ;;
        --mb) mb=$2; shift 2 ;;
        --restart-ms) restart_ms=$2; shift 2 ;;
        *) echo "usage: $0 [--devices N] [--wave W] [--mb MB] [--restart-ms MS]" >&2; exit 2 ;;
    esac
done

root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTREL_BUILD_DIR:-}
if [[ -z $build ]]; then
    build=$root/build/release
    [[ -x $build/bin/kestrel-cli && -x $build/bin/kestrel-devsim ]] || build=$root/build/dev
fi
cli=$build/bin/kestrel-cli
sim=$build/bin/kestrel-devsim
[[ -x $cli && -x $sim ]] || { echo "build kestrel-cli and kestrel-devsim first ($build)" >&2; exit 1; }

ns=kst-upgwaves-$$
work=$(mktemp -d)
sim_pid=
cleanup() {
    [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
    ip netns del "$ns" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$ns"
ip netns exec "$ns" ip link set lo up

head -c $((mb * 1024 * 1024)) /dev/urandom > "$work/ipcupg.bin"
ip netns exec "$ns" "$sim" --fleet "$devices" --base 127.0.0.2 \
    --behave "all:upgrade-restart-ms=$restart_ms" --behave all:upgrade-version=V9.0.0.bench \
    > "$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 300); do
    grep -q "devices ready" "$work/sim.log" && break
    kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.log" >&2; exit 1; }
    sleep 0.1
done
grep -q "devices ready" "$work/sim.log" || { echo "the simulator did not come up" >&2; exit 1; }

targets=()
for i in $(seq 0 $((devices - 1))); do
    targets+=("127.0.0.$((2 + i % 250))")
done
set +e
ip netns exec "$ns" /usr/bin/time -v -o "$work/time.txt" "$cli" --bind 127.0.0.1/8 upgrade \
    "$work/ipcupg.bin" --wave "$wave" --expect-version V9.0.0.bench --to "${targets[@]}" \
    > "$work/out.txt" 2> "$work/err.txt"
code=$?
set -e

echo "build:          $build"
echo "devices:        $devices in waves of $wave, ${mb} MB each, restart ${restart_ms} ms"
echo "exit code:      $code"
echo "summary:        $(grep '^Upgrade: ' "$work/out.txt" || echo none)"
echo "state lines:    $(grep -c '^127\.' "$work/out.txt")"
echo "wall clock:     $(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")"
echo "peak memory:    $(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt") KB"
