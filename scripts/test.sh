#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the Linux build; the
# same suite under AddressSanitizer/UBSan and the threaded suites under
# ThreadSanitizer; each fuzz target for 30 s; then the Windows DLL,
# cross-built and tested under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
bash scripts/sanitize.sh
FUZZ_SECONDS="${FUZZ_SECONDS:-30}" bash scripts/fuzz.sh
bash scripts/windows-test.sh
