#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a fixed short time
# (FUZZ_SECONDS, default 20). Seeds come from tests/data and fuzz/corpus when present.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-20}"
if ! command -v clang++ >/dev/null; then
    echo "clang++ not found: fuzzers skipped"
    exit 0
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCHIMEON_CORE_ONLY=ON -DCHIMEON_BUILD_TESTS=OFF -DCHIMEON_BUILD_BENCH=OFF \
    -DCHIMEON_BUILD_FUZZ=ON >/dev/null
cmake --build build-fuzz
for fuzzer in build-fuzz/fuzz/*_fuzzer; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    corpus="build-fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds=()
    [ -d "fuzz/corpus/$name" ] && seeds+=("fuzz/corpus/$name")
    seeds+=("tests/data")  # the hand-made stored files seed every parser
    log="build-fuzz/$name.log"
    if "$fuzzer" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
        "$corpus" "${seeds[@]}" >"$log" 2>&1; then
        echo "-- $name: $(grep -E '^Done [0-9]+ runs' "$log" | tail -n 1)"
    else
        echo "-- $name FAILED:"
        tail -n 60 "$log"
        exit 1
    fi
done
