#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, then
# configures and builds into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-packages.sh build-essential cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev gpsd-clients \
  libfltk1.3-dev libx11-dev xvfb xauth xdotool imagemagick faketime help2man

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
