#!/usr/bin/env bash
# What a write/read test of a drive costs the simulator: strovsim's state
# file and resident size, and the time of commands that change its state,
# before and after `dkprobe -D A4 -w PERCENT` on the spare drive of the first
# default cabinet. Runs strovsim and OruServr in a fresh machine root (as
# scripts/demo.sh does), prints one table, and stops both.
#   bench/sim_blocks.sh            (PERCENT=2 by default; PERCENT=100 tests
#                                   the whole drive; RUNS=5 timings per
#                                   figure, the median is printed;
#                                   ORU_BENCH_BIN=<dir> takes the programs
#                                   from there, default build/release/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/machine-root.sh

percent="${PERCENT:-2}"
runs="${RUNS:-5}"
bin="${ORU_BENCH_BIN:-$PWD/build/release/bin}"
for program in OruServr strovsim dkprobe dkwatch dktune; do
    if [ ! -x "$bin/$program" ]; then
        echo "sim_blocks: $bin/$program is missing (scripts/build.sh release" \
            "OruServr strovsim dkprobe dkwatch dktune oru_catalogs)" >&2
        exit 1
    fi
done

root="$(mktemp -d "${TMPDIR:-/tmp}/oru-simblocks-XXXXXX")"
pid=""
simulating=""
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -INT "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    if [ -n "$simulating" ]; then
        ORU_ROOT="$root" "$bin/strovsim" stop >/dev/null 2>&1 || true
    fi
    rm -rf "$root"
}
trap cleanup EXIT

make_machine_root "$root"

ORU_ROOT="$root" "$bin/strovsim" serve --daemon
simulating=1
ORU_ROOT="$root" ORU_DEBUG=ON ORU_EVENTLOG_SYSLOG=0 "$bin/OruServr" > "$root/console.log" 2>&1 &
pid=$!
events="$root/eventlog/Application.log"
for _ in $(seq 1 600); do
    if [ -f "$events" ] && grep -q 'OruServr Started' "$events"; then
        break
    fi
    sleep 0.1
done
if ! grep -q 'OruServr Started' "$events" 2>/dev/null; then
    echo "sim_blocks: OruServr did not start within 60 s" >&2
    exit 1
fi

array=QX0000000001
run() { ORU_ROOT="$root" ORUHOST=127.0.0.1 "$@"; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The median time in ms of RUNS runs of the given commands (one per argument).
timed() {
    local i start
    for i in $(seq 1 "$runs"); do
        start=$(now_ms)
        for command in "$@"; do
            eval "run $command" > /dev/null
        done
        echo $(( $(now_ms) - start ))
    done | median
}
simpid() { cat "$root/sim/strovsim.pid"; }
kib() { awk -v k="$1" '$1 == k ":" { print $2 }' "/proc/$(simpid)/status"; }
figures() {
    local simcmds tunecmds
    simcmds=$(timed "$bin/strovsim clear-media-errors 0 A4" "$bin/strovsim log 0 1 A4")
    tunecmds=$(timed "$bin/dktune -w off $array" "$bin/dktune -w on $array")
    # The sizes once those commands have saved the state (a save may follow
    # the test's last chunk by a while).
    local state blocks
    state=$(stat -c %s "$root/sim/state.json")
    blocks=0
    if [ -d "$root/sim/blocks" ]; then
        blocks=$(du -sk "$root/sim/blocks" | cut -f1)
    fi
    printf '| %s | %s KiB | %s KiB | %s MiB | %s MiB | %s ms | %s ms |\n' "$1" \
        $(( state / 1024 )) "$blocks" $(( $(kib VmRSS) / 1024 )) $(( $(kib VmHWM) / 1024 )) \
        "$simcmds" "$tunecmds"
}

echo "| when | state.json | block files (on disk) | strovsim VmRSS | VmHWM |" \
    "clear-media-errors + log | dktune -w off + -w on |"
echo "|---|---|---|---|---|---|---|"
figures "before"
start=$(now_ms)
run "$bin/dkprobe" -D A4 -w "$percent" "$array" > /dev/null
# The test runs in the service; dkwatch tells when it has ended.
while run "$bin/dkwatch" -D A4 "$array" | grep -q ' running\.'; do
    sleep 0.2
done
took=$(( $(now_ms) - start ))
outcome=$(run "$bin/dkwatch" -D A4 "$array" | tr -s ' ' | tail -1)
figures "after -w $percent"
echo
echo "write/read test of $percent% of A4: $took ms; dkwatch: $outcome"
