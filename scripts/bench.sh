#!/usr/bin/env bash
# Builds the native Release benchmarks and runs them; the ratios of the
# plug-in to the same work done without it come last.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dpkg-query -W -f='${Status}' libbenchmark-dev 2>/dev/null | grep -q "install ok installed" ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q libbenchmark-dev
cmake --preset bench >/dev/null
cmake --build --preset bench --target player_bench
build/bench/bin/player_bench "$@"
