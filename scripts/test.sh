#!/usr/bin/env bash
# Installs what is missing, builds both builds (the 32-bit Windows DLL and the
# native sanitizer build), runs every test on each, a short soak run, then
# makes the package and checks it with hosts built from it, then runs the
# static analysis.
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
echo "=== package and hosts built from it"
scripts/sdk-test.sh || status=1
echo "=== static analysis"
scripts/lint.sh || status=1
exit $status
