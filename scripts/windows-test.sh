#!/usr/bin/env bash
# Cross-builds the Windows x64 AIS.dll and its tests with MinGW-w64 and runs
# them under Wine, in a Wine prefix of the build's own.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-packages.sh g++-mingw-w64-x86-64 wine64 cmake ninja-build googletest libcli11-dev clang-14 lld-14 llvm-14

export WINEPREFIX="$PWD/build-windows/wineprefix" WINEDEBUG=-all
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  mkdir -p "$WINEPREFIX"
  scripts/wine-run.sh wineboot --init
  # Windows without a display: the null driver still gives real windows and queues.
  scripts/wine-run.sh reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
  # A crashing test ends with its exit code instead of waiting in the debugger.
  scripts/wine-run.sh reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f
  scripts/wine-run.sh reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 0 /f
fi
"$wineserver" -k 2>/dev/null || true  # the server of the setup, if it still runs
"$wineserver" -p >/dev/null 2>&1  # one server for every test process, instead of one each
# Start Wine's own services now, away from the pipes of the test runs.
scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1
trap '"$wineserver" -k || true' EXIT

cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build build-windows -j"$(nproc)"
ctest --test-dir build-windows --output-on-failure -j"$(nproc)"

# Serial: Wine maps COM7 to a pseudo-terminal that the Linux simulator feeds
# (a link in the prefix's dosdevices folder), and the DLL reads it there.
if [[ -x build/tools/ais-sim ]]; then
  build/tools/ais-sim --pty "$WINEPREFIX/dosdevices/com7" --rate 300 2>/dev/null &
  simulator=$!
  for _ in $(seq 100); do [[ -e $WINEPREFIX/dosdevices/com7 ]] && break; sleep 0.1; done
  (cd build-windows/tests &&
    AIS_WINE_SERIAL_PORT=7 ../../scripts/wine-run.sh win32_serial_port_test.exe \
      --gtest_filter=SerialPort.ReadsWaitForTheFirstByteUpToAConstant &&
    AIS_WINE_SERIAL_PORT=7 ../../scripts/wine-run.sh dll_host_test.exe --gtest_filter=DllHost.RecordsArriveOverASerialPort)
  kill "$simulator"

  # The Windows reference host with the DLL, reading the Linux simulator over TCP.
  build/tools/ais-sim --tcp 47200 --rate 500 --count 300 2>/dev/null &
  (cd build-windows && ../scripts/wine-run.sh tools/ais-host.exe --plugin AIS.dll --tcp 127.0.0.1 --port 47200 \
    --duration 4 --json > host.out 2> host.err) || { cat build-windows/host.err; exit 1; }
  grep -q "stopped: result 0, status 0; 300 records" build-windows/host.err || { cat build-windows/host.err; exit 1; }
  [[ $(grep -c '^{"m_nType":15,' build-windows/host.out) -eq 300 ]] || { echo "ais-host.exe: not 300 JSON records"; exit 1; }
  echo "ais-host.exe under Wine: 300 of 300 simulated messages as records"
else
  echo "no Linux build of ais-sim: the serial and host checks under Wine are skipped"
fi
