#!/usr/bin/env bash
# Installs what is missing, builds both builds (the 32-bit Windows DLL and the
# native sanitizer build), runs every test on each, then a short soak run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

status=0
for preset in native win32; do
    echo "=== $preset: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    echo "=== $preset: tests"
    ctest --preset "$preset" || status=1
done
echo "=== short soak run"
scripts/soak.sh 5 || status=1
exit $status
