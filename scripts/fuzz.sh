#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz and runs each of them:
#   scripts/fuzz.sh [seconds (default 20)] [target ...]   explore, keeping a corpus per target
#   scripts/fuzz.sh --smoke                                 the same fixed 100,000 inputs per
#                                                           target on every run (the tests' check)
# Each target keeps its corpus in build-fuzz/corpus/<target>; crashes land in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
smoke=false
if [ "${1:-}" = "--smoke" ]; then
    smoke=true
    shift
fi
seconds=20
if ! $smoke && [ $# -gt 0 ]; then
    seconds=$1
    shift
fi
scripts/setup.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DLW_FUZZ=ON -DLW_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2 >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for t in build-fuzz/fuzz/fuzz_*; do
        targets+=("$(basename "$t")")
    done
fi
for t in "${targets[@]}"; do
    seeds=()
    case $t in
        fuzz_event_log) seeds+=(tests/protocol/golden) ;;  # logs as the program writes them
    esac
    if $smoke; then
        corpus=$(mktemp -d)
        log=build-fuzz/$t.log
        echo "fuzz: $t, 100000 fixed inputs"
        status=0
        "build-fuzz/fuzz/$t" -seed=1 -runs=100000 -artifact_prefix=build-fuzz/ \
            "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=$?
        rm -rf "$corpus"
        if [ "$status" -ne 0 ]; then
            tail -40 "$log"
            echo "fuzz: $t failed; the input is in build-fuzz/, the output in $log"
            exit 1
        fi
        grep -E '^Done' "$log"
        continue
    fi
    corpus=build-fuzz/corpus/$t
    mkdir -p "$corpus"
    echo "fuzz: $t for ${seconds}s"
    "build-fuzz/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build-fuzz/ "$corpus" "${seeds[@]}"
done
