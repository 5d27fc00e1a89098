#!/usr/bin/env bash
# Installs what is missing, builds the suite twice (plain, and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test on both,
# runs the threaded core under ThreadSanitizer, then each fuzz target for a
# short while. Ends with one line: "tests: N passed, M failed".
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

passed=0
failed=0
status=0

# Runs ctest with the given arguments and adds its counts to the totals.
run_ctest() {
    local dir="$1"
    shift
    local log="$dir/ctest.log"
    if ! ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600 "$@" \
        >"$log" 2>&1; then
        status=1
    fi
    cat "$log"
    # "100% tests passed, 0 tests failed out of 356"
    local line
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
    if [ -z "$line" ]; then
        status=1
        return
    fi
    local total bad
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

for flavour in release asan; do
    echo "=== build: $flavour"
    scripts/build.sh "$flavour"
    echo "=== test: $flavour"
    run_ctest "build/$flavour"
done

# The threaded core once more under ThreadSanitizer: the task framework, the
# rescan stress test, and the session I/O (the service's session end in-process,
# then the real service with its listeners, session manager and waker threads
# against hostile clients and broken frames).
echo "=== build: tsan"
scripts/build.sh tsan
echo "=== test: tsan"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
run_ctest build/tsan -L stress
run_ctest build/tsan -R '^(RequestQueue|ResponseList|EventSemaphore|Semaphore|ResourceSemaphore|TaskTest)\.'
run_ctest build/tsan -R '^(ServerSession(Test|Errors|File)|HostileClientTest|SessionReadEventTest)\.'

if [ -x scripts/fuzz.sh ]; then
    echo "=== fuzz"
    if scripts/fuzz.sh; then
        echo "fuzz: every target ran clean"
    else
        status=1
        failed=$((failed + 1))
    fi
fi

echo "tests: ${passed} passed, ${failed} failed"
exit $status
