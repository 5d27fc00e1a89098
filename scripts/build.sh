#!/usr/bin/env bash
# Configures and builds one flavour of the tree: everything, or only the
# given targets (and what they depend on).
#   scripts/build.sh [release|asan|tsan|fuzz] [target...]   (default: release, everything)
set -euo pipefail
cd "$(dirname "$0")/.."

flavour="${1:-release}"
targets=("${@:2}")
dir="build/$flavour"
case "$flavour" in
    release) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    asan)    args=(-DCMAKE_BUILD_TYPE=Debug -DORU_SANITIZE=ON -DORU_BENCH=OFF) ;;
    tsan)    args=(-DCMAKE_BUILD_TYPE=Debug -DORU_TSAN=ON -DORU_BENCH=OFF) ;;
    fuzz)    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DORU_FUZZ=ON -DORU_BENCH=OFF
                   -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
    *) echo "usage: scripts/build.sh [release|asan|tsan|fuzz] [target...]" >&2; exit 2 ;;
esac

# A compiler cache, where the machine has one, makes rebuilds of several
# checkouts of the tree cheap; CI runs without it.
if command -v ccache >/dev/null 2>&1; then
    args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(cd .. && pwd)}"
    export CCACHE_NOHASHDIR=1
fi

cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
if [ ${#targets[@]} -eq 0 ]; then
    cmake --build "$dir"
else
    cmake --build "$dir" --target "${targets[@]}"
fi
