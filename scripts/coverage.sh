#!/usr/bin/env bash
# What the tests reach of the core (ais, nmea, links, plugin, datapath, config, diag):
# builds with coverage counters into build-coverage/, runs every test, and
# prints gcovr's summary by file, with the lines and branches no test takes
# in build-coverage/coverage.txt. Branches the compiler adds for exceptions
# are left out: the core throws none.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh gcovr
cmake -S . -B build-coverage -G Ninja -DCMAKE_BUILD_TYPE=Debug -DAIS_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic" -DCMAKE_EXE_LINKER_FLAGS=--coverage \
  -DCMAKE_SHARED_LINKER_FLAGS=--coverage -DCMAKE_MODULE_LINKER_FLAGS=--coverage
cmake --build build-coverage -j"$(nproc)"
find build-coverage -name '*.gcda' -delete
ctest --test-dir build-coverage -j"$(nproc)" --output-on-failure > build-coverage/tests.txt || {
  tail -30 build-coverage/tests.txt; exit 1; }
core=(--filter 'ais/' --filter 'nmea/' --filter 'links/' --filter 'plugin/' --filter 'datapath/' --filter 'config/' --filter 'diag/')
gcovr --root . "${core[@]}" --exclude-throw-branches --exclude-unreachable-branches --print-summary \
  --txt build-coverage/coverage.txt build-coverage | tail -3
gcovr --root . "${core[@]}" --exclude-throw-branches --exclude-unreachable-branches --branches \
  --txt build-coverage/branches.txt build-coverage > /dev/null
echo "by file, with the lines and branches no test reaches: build-coverage/coverage.txt, build-coverage/branches.txt"
