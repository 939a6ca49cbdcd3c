#!/usr/bin/env bash
# Makes the Debian package with cpack, checks what it says of itself, unpacks
# it into a fresh root and builds the installed example host from it against
# the packaged SDK, then runs that host on the packaged plug-in.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PROGRAMDATA=$work/data VF_OBJECT_NAMESPACE=package-check-$$
mkdir -p "$PROGRAMDATA/VestraFold/Tracing"

cpack --config "$build/CPackConfig.cmake" -B "$work/packages" > "$work/cpack.txt"
package=$(ls "$work"/packages/vestrafold-ais_*.deb)
dpkg-deb --field "$package" Package Version Depends > "$work/fields.txt"
grep -q "^Package: vestrafold-ais$" "$work/fields.txt"
grep -q "^Version: 9.1.64.511$" "$work/fields.txt"
grep -q "^Depends: .*libfltk" "$work/fields.txt" || { cat "$work/fields.txt"; exit 1; }

dpkg-deb -x "$package" "$work/root"
root=$work/root/usr
for file in lib/AIS.so lib/libvfsystem.so bin/ais-host bin/ais-sim include/vestrafold-ais/ais_plugin_loader.h \
            share/man/man1/ais-host.1 share/man/man1/ais-sim.1 lib/pkgconfig/vestrafold-ais.pc \
            lib/cmake/VestrafoldAis/VestrafoldAisConfig.cmake share/doc/VestrafoldAis/example-host/small_host.cpp; do
  [[ -e "$root/$file" ]] || { echo "the package lacks /usr/$file"; exit 1; }
done
"$root/bin/ais-host" --version

cmake -S "$root/share/doc/VestrafoldAis/example-host" -B "$work/example" -DCMAKE_PREFIX_PATH="$root" > /dev/null
cmake --build "$work/example" > /dev/null
"$work/example/small_host" "$(cat "$work/example/plugin_path.txt")"
