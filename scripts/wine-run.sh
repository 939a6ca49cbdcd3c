#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, quietly.
# The first start of a fresh prefix takes about ten seconds.
#
# Now and then, under a busy wineserver, Wine fails to start a program at
# all: it ends at once, non-zero, with nothing on either stream. A run that
# ends so is made again (three tries at most); a program that said anything
# (a test program prints its banner first) is never run twice, and one that
# fails in silence each time still fails.
set -uo pipefail
export WINEPREFIX="${WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build-windows/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2 3; do
  status=0
  "$wine" "$@" >"$out" 2>"$err" || status=$?
  if (( status == 0 )) || [[ -s $out || -s $err ]] || (( attempt == 3 )); then break; fi
  echo "wine-run: $1 ended with $status and no output, as when Wine cannot start it; starting it again" >&2
done
cat "$out"
cat "$err" >&2
exit "$status"
