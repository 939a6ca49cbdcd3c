#!/usr/bin/env bash
# Installs what is needed, builds, and runs the reference host with the
# plug-in against its built-in simulator for ten seconds. Further options go
# to ais-host (see build/tools/ais-host --help).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
./build/tools/ais-host --plugin build/AIS.so --simulate --duration 10 "$@"
