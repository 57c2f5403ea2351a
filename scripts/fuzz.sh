#!/usr/bin/env bash
# Coverage-guided fuzzing of the player and the configuration reader with
# libFuzzer (clang), under AddressSanitizer and UndefinedBehaviorSanitizer.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/install-deps.sh
command -v clang++ >/dev/null || { apt-get install -y -q clang libclang-rt-dev; }
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target player_fuzz config_reader_fuzz

work=build/fuzz/run
mkdir -p "$work/corpus-player" "$work/corpus-config_reader"
export PELSHX_SYSTEM_ROOT=$PWD/$work
cd "$work"
for target in player config_reader; do
    echo "=== ${target} for ${seconds} s"
    ../bin/${target}_fuzz -max_total_time="$seconds" -max_len=1024 "corpus-${target}" 2>&1 | tail -n 3
done
