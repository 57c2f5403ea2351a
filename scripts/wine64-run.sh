#!/usr/bin/env bash
# Runs a 64-bit Windows program under 64-bit Wine, in its own prefix (default
# ~/.wine-pelshx64; 32-bit programs it starts run there too), like wine-run.sh.
set -euo pipefail
: "${WINEPREFIX:=${HOME}/.wine-pelshx64}"
export WINEPREFIX WINEARCH=win64
exec "$(dirname "$0")/wine-run.sh" "$@"
