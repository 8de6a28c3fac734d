#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and AddressSanitizer into build-fuzz/ and
# runs each for a bounded time (QUILLFEN_FUZZ_SECONDS, default 60) on a copy of its
# committed seeds; prints each target's executions. Exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${QUILLFEN_FUZZ_SECONDS:-60}
build=build-fuzz
flags="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer"

CC=clang CXX=clang++ cmake -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLFEN_FUZZ=ON -DQUILLFEN_BENCH=OFF -DCMAKE_CXX_FLAGS="$flags" >/dev/null

# target name, seed folder
targets=("import_fuzz tests/options/fuzz/seeds")

names=()
for entry in "${targets[@]}"; do
    names+=("${entry%% *}")
done
cmake --build "$build" -j "$(nproc)" --target "${names[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for entry in "${targets[@]}"; do
    name=${entry%% *}
    seeds=${entry#* }
    corpus="$work/$name-corpus"
    mkdir -p "$corpus"
    if [ -d "$seeds" ]; then
        cp -r "$seeds"/. "$corpus"/
    fi
    log="$work/$name.log"
    status=0
    binary=$(find "$PWD/$build/tests" -name "$name" -type f -executable | head -n 1)
    (cd "$work" && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
        "$binary" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$work/$name-" "$corpus") >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if [ "$status" -ne 0 ]; then
        echo "$name: FAILED after ${runs:-?} executions"
        tail -n 40 "$log"
        for artifact in "$work/$name-"*; do
            [ -f "$artifact" ] && cp "$artifact" "$build/" && echo "reproducer kept: $build/$(basename "$artifact")"
        done
        failed=1
    else
        echo "$name: ${runs:-0} executions in ${seconds} s, 0 crashes"
    fi
done
exit "$failed"
