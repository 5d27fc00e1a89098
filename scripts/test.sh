#!/usr/bin/env bash
# Installs what is missing, builds the suite twice (plain, and with
# AddressSanitizer + UndefinedBehaviorSanitizer), runs every test on both and
# then runs each fuzz target for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

passed=0
failed=0
status=0
for flavour in release asan; do
    echo "=== build: $flavour"
    scripts/build.sh "$flavour"
    echo "=== test: $flavour"
    log="build/$flavour/ctest.log"
    if ! ctest --test-dir "build/$flavour" --output-on-failure -j "$jobs" --timeout 600 \
        2>&1 | tee "$log"; then
        status=1
    fi
    if [ "${PIPESTATUS[0]}" != "0" ]; then
        status=1
    fi
    # "100% tests passed, 0 tests failed out of 356"
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
    if [ -z "$line" ]; then
        status=1
        continue
    fi
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
done

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
