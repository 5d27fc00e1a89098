#!/usr/bin/env bash
# The main job: builds the suite, makes a fresh machine root and runs the
# array-management service OruServr there in the console, then stops it
# cleanly and shows what it left in the event log.
#   scripts/demo.sh            (ORU_KEEP_ROOT=1 keeps the machine root)
set -euo pipefail
cd "$(dirname "$0")/.."

say() { printf '\n==> %s\n' "$*"; }

say "Installing what the build needs (nothing if all is there)"
scripts/install-deps.sh

say "Building the release tree in build/release"
scripts/build.sh release

bin="$PWD/build/release/bin/OruServr"
if [ ! -x "$bin" ]; then
    echo "demo: $bin was not built" >&2
    exit 1
fi

root="$(mktemp -d "${TMPDIR:-/tmp}/oru-demo-XXXXXX")"
log="$root/console.log"
pid=""
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null || true
    fi
    if [ "${ORU_KEEP_ROOT:-}" = "1" ]; then
        echo "demo: machine root kept in $root"
    else
        rm -rf "$root"
    fi
}
trap cleanup EXIT

# A port nobody listens on now (the kernel picks it).
free_port() {
    python3 -c 'import socket,sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM if sys.argv[1] == "udp" else socket.SOCK_STREAM)
s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()' "$1"
}

say "Making a fresh machine root: $root"
mkdir -p "$root/etc"
tcp_port="$(free_port tcp)"
udp_port="$(free_port udp)"
cat > "$root/etc/services" <<SERVICES
oruTCP ${tcp_port}/tcp
oruUDP ${udp_port}/udp
SERVICES
echo "    etc/services: oruTCP ${tcp_port}/tcp, oruUDP ${udp_port}/udp"

say "Starting OruServr in the console (ORU_DEBUG=ON)"
ORU_ROOT="$root" ORU_DEBUG=ON ORU_EVENTLOG_SYSLOG=0 "$bin" > "$log" 2>&1 &
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
echo "    running; its threads:"
for comm in /proc/"$pid"/task/*/comm; do
    printf '      %s\n' "$(cat "$comm")"
done

say "Stopping it with SIGINT (Ctrl-C)"
kill -INT "$pid"
status=0
wait "$pid" || status=$?
pid=""

say "Console output of OruServr"
sed 's/^/    /' "$log"

say "Exit code: $status"

say "Event log ($events)"
sed 's/^/    /' "$events"

if [ "$status" -ne 0 ]; then
    echo "demo: OruServr did not stop cleanly" >&2
    exit 1
fi
say "Done: OruServr started and stopped cleanly"
