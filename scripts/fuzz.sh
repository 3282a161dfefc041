#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz and runs each for a number of seconds:
#   scripts/fuzz.sh [seconds (default 20)] [target ...]
# Each target keeps its corpus in build-fuzz/corpus/<target>; crashes land in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
scripts/setup.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DLW_FUZZ=ON -DLW_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for t in build-fuzz/fuzz/fuzz_*; do
        targets+=("$(basename "$t")")
    done
fi
for t in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$t
    mkdir -p "$corpus"
    seeds=()
    case $t in
        fuzz_event_log) seeds+=(tests/protocol/golden) ;;  # logs as the program writes them
    esac
    echo "fuzz: $t for ${seconds}s"
    "build-fuzz/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build-fuzz/ "$corpus" "${seeds[@]}"
done
