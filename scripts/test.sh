#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the Linux build, then
# the Windows DLL cross-built and tested under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
bash scripts/windows-test.sh
