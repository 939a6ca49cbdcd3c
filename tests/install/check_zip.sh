#!/usr/bin/env bash
# Makes the Windows release zip with cpack, checks what it holds, and puts
# its AIS.dll through the export check and the MSVC-built host under Wine.
# Arguments: the Windows build folder, the MSVC host's folder, objdump.
set -euo pipefail
build=$1 msvc_host_dir=$2 objdump=$3
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work/packages" > "$work/cpack.txt"
zip_file="$work/packages/vestrafold-ais-9.1.64.511-win64.zip"
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip_file")
for file in AIS.dll ais-host.exe ais-sim.exe README.md sdk/ais_plugin.h sdk/ais_plugin_loader.h; do
  [[ -e "$work/unpacked/$file" ]] || { echo "the zip lacks $file"; exit 1; }
done
cmake -DLIBRARY="$work/unpacked/AIS.dll" -DOBJDUMP="$objdump" -DHEADER="$source/sdk/ais_plugin.h" \
      -P "$source/tests/check_exports.cmake"
cp "$msvc_host_dir/msvc_host.exe" "$work/unpacked/"
(cd "$work/unpacked" && "$source/scripts/wine-run.sh" ./msvc_host.exe)

# The zip's simulator feeds the zip's host and plug-in over loopback TCP: the
# host connects once the simulator listens (seen in /proc/net/tcp, so that
# the check itself is never the simulator's client).
port=$((47400 + RANDOM % 400))
listening() { awk -v end="$(printf ':%04X' "$1")" '$2 ~ end "$" && $4 == "0A"' /proc/net/tcp | grep -q .; }
(cd "$work/unpacked" && exec "$source/scripts/wine-run.sh" ./ais-sim.exe --tcp "$port" --rate 500 --count 200 \
   2> "$work/sim.err") &
simulator=$!
for _ in $(seq 300); do listening "$port" && break; sleep 0.1; done
listening "$port" || { echo "ais-sim.exe never listened on $port"; cat "$work/sim.err"; exit 1; }
(cd "$work/unpacked" && "$source/scripts/wine-run.sh" ./ais-host.exe --plugin AIS.dll --tcp 127.0.0.1 --port "$port" \
   --duration 5 --json > "$work/host.out" 2> "$work/host.err") || { cat "$work/host.err"; exit 1; }
wait "$simulator" || { echo "ais-sim.exe failed"; cat "$work/sim.err"; exit 1; }
grep -q "stopped: result 0, status 0; 200 records" "$work/host.err" || { cat "$work/host.err" "$work/sim.err"; exit 1; }
echo "the zip's ais-sim.exe fed its ais-host.exe and AIS.dll 200 of 200 messages"

# A recording made by the zip's simulator, decoded by its host as gpsdecode
# users do: from a file, standard input and a pipe; and the built-in simulator.
(cd "$work/unpacked" && "$source/scripts/wine-run.sh" ./ais-sim.exe --stdout --count 40 --rate 1000000 \
   > "$work/rec.nmea" 2> /dev/null)
host() { (cd "$work/unpacked" && "$source/scripts/wine-run.sh" ./ais-host.exe --plugin AIS.dll --json "$@"); }
for way in file redirect pipe; do
  case $way in
    file) host --file "$work/rec.nmea" > "$work/records" 2> "$work/host.err" ;;
    redirect) host < "$work/rec.nmea" > "$work/records" 2> "$work/host.err" ;;
    pipe) cat "$work/rec.nmea" | host > "$work/records" 2> "$work/host.err" ;;
  esac
  [[ $(grep -c '^{' "$work/records") -eq 40 ]] || { echo "ais-host.exe, recording by $way: not 40 records"; cat "$work/host.err"; exit 1; }
done
host --simulate --duration 2 > "$work/records" 2> "$work/host.err"
grep -q '"m_nMMSI":' "$work/records" || { echo "ais-host.exe --simulate: no records"; cat "$work/host.err"; exit 1; }
echo "the zip's ais-host.exe decoded the recording by file, redirect and pipe, and its built-in simulator"
