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
for file in AIS.dll ais-host.exe README.md sdk/ais_plugin.h sdk/ais_plugin_loader.h; do
  [[ -e "$work/unpacked/$file" ]] || { echo "the zip lacks $file"; exit 1; }
done
cmake -DLIBRARY="$work/unpacked/AIS.dll" -DOBJDUMP="$objdump" -DHEADER="$source/sdk/ais_plugin.h" \
      -P "$source/tests/check_exports.cmake"
cp "$msvc_host_dir/msvc_host.exe" "$work/unpacked/"
(cd "$work/unpacked" && "$source/scripts/wine-run.sh" ./msvc_host.exe)
