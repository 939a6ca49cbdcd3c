#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the Linux build; the
# same suite under AddressSanitizer/UBSan and the threaded suites under
# ThreadSanitizer; each fuzz target for 30 s; then the Windows DLL,
# cross-built and tested under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
# Each part says how long it took, so that a slow one is seen in CI's log.
part() {
  local name=$1 start=$SECONDS
  shift
  "$@"
  echo "== ${name}: $((SECONDS - start)) s"
}
part "setup and Linux build" bash scripts/setup.sh
part "Linux tests" ctest --test-dir build --output-on-failure -j"$(nproc)"
# How many schedules the fault simulator played, as its tests counted them.
grep -h "schedules passed" build/Testing/Temporary/LastTest.log | sed 's/^/== fault simulator: /' || true
part "sanitizers" bash scripts/sanitize.sh
part "fuzzing" env FUZZ_SECONDS="${FUZZ_SECONDS:-30}" bash scripts/fuzz.sh
part "Windows under Wine" bash scripts/windows-test.sh
echo "== all: ${SECONDS} s"
