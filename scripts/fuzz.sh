#!/usr/bin/env bash
# Builds the fuzz flavour (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every fuzz target for a short fixed
# time, starting from its seed corpus. Fails on the first crash, leak or
# sanitizer report.
#   scripts/fuzz.sh [seconds per target]   (default: 15, or ORU_FUZZ_SECONDS)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-${ORU_FUZZ_SECONDS:-15}}"
root="$(pwd)"

# Only the fuzz targets: the rest of this flavour (the suite and its tests
# built with clang) is nothing this script runs.
scripts/build.sh fuzz oru_fuzz_targets
bindir="$root/build/fuzz/fuzz"

# New inputs go to a scratch copy of each corpus so the work tree stays clean.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

shopt -s nullglob
targets=("$bindir"/*)
if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz: no targets were built" >&2
    exit 1
fi

failed=0
for target in "${targets[@]}"; do
    [ -x "$target" ] || continue
    name="$(basename "$target")"
    corpus="$work/corpus/$name"
    mkdir -p "$corpus"
    if [ -d "tests/fuzz/corpus/$name" ]; then
        cp -R "tests/fuzz/corpus/$name/." "$corpus/"
    fi
    echo "=== fuzz: $name (${seconds}s)"
    if ! (cd "$work" && "$target" -max_total_time="$seconds" -max_len=65536 \
            -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="$work/$name-" "$corpus" >"$work/$name.log" 2>&1); then
        echo "fuzz: $name failed; last lines of its log:" >&2
        tail -n 60 "$work/$name.log" >&2
        for artifact in "$work/$name"-*; do
            echo "fuzz: reproducer kept at $root/build/fuzz/$(basename "$artifact")" >&2
            cp "$artifact" "$root/build/fuzz/"
        done
        failed=1
    else
        grep -E '^stat::number_of_executed_units|^Done' "$work/$name.log" || true
    fi
done
exit "$failed"
