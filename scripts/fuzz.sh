#!/usr/bin/env bash
# Coverage-guided fuzzing of the player and the configuration reader with
# libFuzzer (clang), under AddressSanitizer and UndefinedBehaviorSanitizer.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
#
# Each target starts from its corpus in fuzz/corpus/<target>/ (replayed by the
# native tests) and the inputs it finds go back into that corpus, minimised
# with libFuzzer's -merge=1: only inputs that add coverage are kept. Commit the
# changed corpus after a long run. A crash stops nothing: the crashing input
# stays in build/fuzz/run/ and the script exits with 1 at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/install-deps.sh
command -v clang++ >/dev/null || { apt-get install -y -q clang libclang-rt-dev; }
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target player_fuzz config_reader_fuzz

root=$PWD
work=$root/build/fuzz/run
mkdir -p "$work"
export PELSHX_SYSTEM_ROOT=$work/
cd "$work"
status=0
for target in player config_reader; do
    program=$root/build/fuzz/bin/${target}_fuzz
    corpus=$root/fuzz/corpus/$target
    found=$work/found-$target
    merged=$work/merged-$target
    rm -rf "$found" "$merged"
    mkdir -p "$corpus" "$found" "$merged"

    echo "=== ${target}: fuzzing for ${seconds} s from $(ls "$corpus" | wc -l) corpus inputs"
    if ! "$program" -max_total_time="$seconds" -max_len=1024 "$found" "$corpus" > "$target.log" 2>&1; then
        echo "${target}: FAULT FOUND, see $work/$target.log and the crash-* file there"
        status=1
    fi
    grep -E '^Done [0-9]+ runs' "$target.log" || tail -n 5 "$target.log"

    "$program" -merge=1 -max_len=1024 "$merged" "$corpus" "$found" > "$target-merge.log" 2>&1
    rm -f "$corpus"/*
    cp "$merged"/* "$corpus"/
    echo "${target}: corpus now $(ls "$corpus" | wc -l) inputs, $(cat "$corpus"/* | wc -c) bytes"
done
exit $status
