#!/usr/bin/env bash
# The main job, on one machine: builds the programs it runs (scripts/test.sh
# or scripts/build.sh release builds the rest, tests and benchmarks too),
# serves the simulated Strovane cabinets with strovsim in a fresh machine
# root, runs the array-management service OruServr in the console over them,
# and shows the arrays with dkview (list, state, logical units, drives,
# controllers); then creates a logical unit with dklayout and turns a setting
# off with dktune. Everything is stopped cleanly at the end.
#   scripts/demo.sh            (ORU_KEEP_ROOT=1 keeps the machine root;
#                               ORU_DEMO_LEAVE_RUNNING=1 leaves both
#                               programs running and says how to stop them;
#                               ORU_DEMO_BIN=<dir> runs the programs of that
#                               build tree and builds nothing)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/machine-root.sh

say() { printf '\n==> %s\n' "$*"; }

# The programs this script runs. They find their message catalogs in
# share/strovane/nls beside their bin directory, built by oru_catalogs.
programs=(OruServr strovsim dkview dklayout dktune)

if [ -n "${ORU_DEMO_BIN:-}" ]; then
    # Programs of another build tree (a developer's); nothing is built.
    bin="$ORU_DEMO_BIN"
else
    say "Installing what the build needs (nothing if all is there)"
    scripts/install-deps.sh

    say "Building the programs the demo runs in build/release: ${programs[*]}"
    scripts/build.sh release "${programs[@]}" oru_catalogs
    bin="$PWD/build/release/bin"
fi
for program in "${programs[@]}"; do
    if [ ! -x "$bin/$program" ]; then
        echo "demo: $bin/$program was not built" >&2
        exit 1
    fi
done

root="$(mktemp -d "${TMPDIR:-/tmp}/oru-demo-XXXXXX")"
log="$root/console.log"
pid=""
simulating=""
leave="${ORU_DEMO_LEAVE_RUNNING:-}"
cleanup() {
    if [ "$leave" = "1" ]; then
        return
    fi
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null || true
    fi
    if [ -n "$simulating" ]; then
        ORU_ROOT="$root" "$bin/strovsim" stop >/dev/null 2>&1 || true
    fi
    if [ "${ORU_KEEP_ROOT:-}" = "1" ]; then
        echo "demo: machine root kept in $root"
    else
        rm -rf "$root"
    fi
}
trap cleanup EXIT

say "Making a fresh machine root: $root"
make_machine_root "$root"
echo "    etc/services: oruTCP ${tcp_port}/tcp, oruUDP ${udp_port}/udp"
echo "    administration path: C:\\oru_admin ($root/c/oru_admin)"
echo "    subnet mask: 255.255.255.255 (discovery stays on this machine)"

say "Serving the simulated cabinets: strovsim serve --daemon"
ORU_ROOT="$root" "$bin/strovsim" serve --daemon
simulating=1
ORU_ROOT="$root" "$bin/strovsim" show | sed 's/^/    /'

say "Starting OruServr in the console (ORU_DEBUG=ON)"
ORU_ROOT="$root" ORU_DEBUG=ON ORU_EVENTLOG_SYSLOG=0 "$bin/OruServr" > "$log" 2>&1 &
pid=$!
echo "    process $pid, console output in $log"

say "Waiting until the service reports that it is running"
events="$root/eventlog/Application.log"
for _ in $(seq 1 300); do
    if [ -f "$events" ] && grep -q 'OruServr Started' "$events"; then
        break
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "demo: OruServr ended before it was running:" >&2
        cat "$log" >&2
        exit 1
    fi
    sleep 0.1
done
if ! grep -q 'OruServr Started' "$events" 2>/dev/null; then
    echo "demo: OruServr did not report its start within 30 s" >&2
    cat "$log" >&2
    exit 1
fi
echo "    running"

# The console utilities ask the service on this host, through the ports of
# this root.
tool() {
    local program="$1"
    shift
    printf '\n    $ %s %s\n' "$program" "$*"
    ORU_ROOT="$root" ORUHOST=127.0.0.1 "$bin/$program" "$@" 2>&1 | sed 's/^/    /'
    return "${PIPESTATUS[0]}"
}
dkview() { tool dkview "$@"; }

failed=0
say "The arrays the service knows"
dkview -i || failed=1
first="$(ORU_ROOT="$root" ORUHOST=127.0.0.1 "$bin/dkview" -i -S | cut -d: -f2)"
if [ -z "$first" ]; then
    echo "demo: the service lists no array" >&2
    exit 1
fi

say "A rescan: the service looks for new arrays, then the list once more"
dkview -R || failed=1
dkview -i || failed=1

say "State and capacity of array $first"
dkview "$first" || failed=1
dkview -s "$first" || failed=1

say "Its logical units"
dkview -l "$first" || failed=1

say "Its drives"
dkview -d "$first" || failed=1

say "Its controllers"
dkview -c "$first" || failed=1

say "The same array for scripts (raw form)"
dkview -a -S "$first" || failed=1

say "A new logical unit of 512 MB, and the write cache off"
tool dklayout -L 3 -a 512 "$first" || failed=1
tool dktune -w off "$first" || failed=1
dkview -l 3 "$first" || failed=1

if [ "$leave" = "1" ]; then
    say "Left running: OruServr (process $pid) and strovsim in $root"
    echo "    stop them with: kill -INT $pid; ORU_ROOT=$root $bin/strovsim stop"
    echo "    and ask with:   ORU_ROOT=$root ORUHOST=127.0.0.1 $bin/dkview -a $first"
    echo "    or watch with:  ORU_ROOT=$root $bin/oru"
    if [ ! -x "$bin/oru" ] && [ -z "${ORU_DEMO_BIN:-}" ]; then
        echo "    (the demo builds only what it runs: scripts/build.sh release oru builds oru)"
    fi
    exit "$failed"
fi

say "Stopping OruServr with SIGINT (Ctrl-C)"
kill -INT "$pid"
status=0
wait "$pid" || status=$?
pid=""
echo "    exit code: $status"

say "Stopping strovsim"
ORU_ROOT="$root" "$bin/strovsim" stop
simulating=""

if [ "$status" -ne 0 ]; then
    echo "demo: OruServr did not stop cleanly; its console output:" >&2
    sed 's/^/    /' "$log" >&2
    exit 1
fi
if [ "$failed" -ne 0 ]; then
    echo "demo: a console utility failed (see above)" >&2
    exit 1
fi
say "Done: the arrays were shown and changed, and everything stopped cleanly"
