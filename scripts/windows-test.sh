#!/usr/bin/env bash
# Cross-builds the Windows x64 AIS.dll and its tests with MinGW-w64 and runs
# them under Wine, in a Wine prefix of the build's own.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++-mingw-w64-x86-64 wine64 cmake ninja-build googletest)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

export WINEPREFIX="$PWD/build-windows/wineprefix" WINEDEBUG=-all
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  mkdir -p "$WINEPREFIX"
  scripts/wine-run.sh wineboot --init
  # Windows without a display: the null driver still gives real windows and queues.
  scripts/wine-run.sh reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
fi
"$wineserver" -k 2>/dev/null || true  # the server of the setup, if it still runs
"$wineserver" -p  # one server for every test process, instead of one each
# Start Wine's own services now, away from the pipes of the test runs.
scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1
trap '"$wineserver" -k || true' EXIT

cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build build-windows -j"$(nproc)"
ctest --test-dir build-windows --output-on-failure -j"$(nproc)"
