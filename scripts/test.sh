#!/usr/bin/env bash
# Installs what is missing, builds the suite twice (plain, and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test on both.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

for flavour in release asan; do
    echo "=== build: $flavour"
    scripts/build.sh "$flavour"
    echo "=== test: $flavour"
    ctest --test-dir "build/$flavour" --output-on-failure -j "$jobs" --timeout 600
done

if [ -x scripts/fuzz.sh ]; then
    echo "=== fuzz"
    scripts/fuzz.sh
fi
