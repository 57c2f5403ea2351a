#!/usr/bin/env bash
# Measures what the plug-in adds to a call beside the same work done without
# it: natively with Google Benchmark (the bench preset, Release; the ratios of
# the median CPU times come last), then the 32-bit DLL of the win32 preset
# under Wine, in a Wine prefix of the benchmark's own (build/win32/bench-prefix).
# Then one Play_InputData at a time through the 64-bit DLL of the win64 preset
# and its helper, under 64-bit Wine (build/win64/bench-prefix), back to back
# and paced, through either hand-over, with the CPU per call of the host, the
# helper and Wine's server, printed beside the same calls in process from the
# win32 run.
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
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
win64=$(windows_bench win64 wine64-run.sh)
echo "$win64"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "=== Play_InputData, debug level 0, microseconds per call: median / 90th percentile, what the bridge adds to"
echo "    the call in process, and the CPU per call (host + helper + Wine server = all)"
# SIZE PACING HAND-OVER MEDIAN P90 HOST HELPER SERVER ALL, the pacing and the hand-over without spaces.
cases() {
    sed -n 's/^Play_InputData *\([0-9]*\) bytes, \([^,]*\), \([^:]*\): median *\([0-9.]*\) us, 90th percentile *\([0-9.]*\) us; CPU per call: host \([0-9.]*\), helper \([0-9.-]*\), Wine server \([0-9.]*\), all \([0-9.]*\) us.*/\1 \2 \3 \4 \5 \6 \7 \8 \9/p' |
        sed 's/back to back/back-to-back/; s/ \([a-z]*\) hand-over / \1 /; s/in process/in-process/'
}
printf '%-7s %-13s %-11s %-16s %-16s %s\n' size calls hand-over "median / p90" "added" "CPU host + helper + server = all"
{ cases <<<"$win32"; cases <<<"$win64"; } | awk '
    BEGIN { order["in-process"] = 0; order["event"] = 1; order["adaptive"] = 2 }
    $3 == "in-process" { base[$1 " " $2] = $4 " " $5 }
    { rows[++n] = $0 }
    END {
        for (i = 1; i <= n; ++i) {
            split(rows[i], f, " ")
            split(base[f[1] " " f[2]], b, " ")
            added = f[3] == "in-process" || b[1] == "" ? "" : sprintf("%.1f / %.1f", f[4] - b[1], f[5] - b[2])
            printf "%08d %d %d %-7s %-13s %-11s %-16s %-16s %s + %s + %s = %s\n", f[1], f[2] == "paced", order[f[3]],
                (f[1] / 1024) " KiB", f[2], f[3], sprintf("%.1f / %.1f", f[4], f[5]), added, f[6], f[7], f[8], f[9]
        }
    }' | sort | cut -d' ' -f4-
