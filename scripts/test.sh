#!/usr/bin/env bash
# Installs what is missing, builds the three builds (the native sanitizer
# build, the 32-bit Windows DLL and the 64-bit one that runs it in a helper),
# runs every test on each, a short soak run, then makes both packages and
# checks them with hosts built from them, then runs the static analysis.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

status=0
for preset in native win32 win64; do
    echo "=== $preset: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    echo "=== $preset: tests"
    ctest --preset "$preset" || status=1
done
echo "=== short soak run"
scripts/soak.sh 5 || status=1
for arch in win32 win64; do
    echo "=== $arch package and hosts built from it"
    scripts/sdk-test.sh "$(scripts/package.sh $arch | tail -n 1)" || status=1
done
echo "=== static analysis"
scripts/lint.sh || status=1
exit $status
