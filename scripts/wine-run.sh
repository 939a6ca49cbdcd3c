#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, quietly.
# The first start of a fresh prefix takes about ten seconds.
set -euo pipefail
export WINEPREFIX="${WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build-windows/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
exec "$wine" "$@"
