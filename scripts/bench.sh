#!/usr/bin/env bash
# Measures what the plug-in adds to a call beside the same work done without
# it: natively with Google Benchmark (the bench preset, Release; the ratios of
# the median CPU times come last), then the 32-bit DLL of the win32 preset
# under Wine, in a Wine prefix of the benchmark's own (build/win32/bench-prefix).
# Arguments go to the native benchmark, such as --benchmark_filter=InputData.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
scripts/install-deps.sh
dpkg-query -W -f='${Status}' libbenchmark-dev 2>/dev/null | grep -q "install ok installed" ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q libbenchmark-dev

echo "=== native (bench preset)"
cmake --preset bench >/dev/null
cmake --build --preset bench --target player_bench >/dev/null
build/bench/bin/player_bench "$@"

echo
echo "=== win32: the DLL under Wine"
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target player_bench >/dev/null
cd build/win32/bin
WINEPREFIX=$repo/build/win32/bench-prefix "$repo/scripts/wine-run.sh" ./player_bench.exe
