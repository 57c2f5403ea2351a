#!/usr/bin/env bash
# Measures what the plug-in adds to a call beside the same work done without
# it: natively with Google Benchmark (the bench preset, Release; the ratios of
# the median CPU times come last), then the 32-bit DLL of the win32 preset
# under Wine, in a Wine prefix of the benchmark's own (build/win32/bench-prefix).
# Then one Play_InputData at a time through the 64-bit DLL of the win64 preset
# and its helper, under 64-bit Wine (build/win64/bench-prefix), printed beside
# the same calls in process from the win32 run.
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

# The bench program of a Windows preset under Wine, in a prefix of its own:
# windows_bench PRESET WINE_SCRIPT [MORE_TARGETS...].
windows_bench() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" --target player_bench "${@:3}" >/dev/null
    (cd "build/$1/bin" && WINEPREFIX=$repo/build/$1/bench-prefix "$repo/scripts/$2" ./player_bench.exe | tr -d '\r')
}

echo
echo "=== win32: the DLL under Wine"
# The win64 DLL's x86 folder takes its helper from the win32 build.
win32=$(windows_bench win32 wine-run.sh pelshx_bridge32)
echo "$win32"

echo
echo "=== win64: Play_InputData through the 64-bit DLL and its helper under 64-bit Wine"
win64=$(windows_bench win64 wine64-run.sh)
echo "$win64"

echo
echo "=== Play_InputData, debug level 0, microseconds per call: median / 90th percentile"
latencies() {
    sed -n 's/^Play_InputData *\([0-9]*\) bytes: median *\([0-9.]*\) us, 90th percentile *\([0-9.]*\) us.*/\1 \2 \3/p'
}
printf '%-8s %-22s %-22s %s\n' size "in process (32-bit)" "bridged (64-bit)" "added by the bridge"
join <(latencies <<<"$win32") <(latencies <<<"$win64") |
    awk '{printf "%-8s %9.1f / %-10.1f %9.1f / %-10.1f %9.1f / %.1f\n", ($1/1024) " KiB", $2, $3, $4, $5, $4-$2, $5-$3}'
