#!/usr/bin/env bash
# Installs the build into a fresh prefix, then builds the small host there
# twice, with find_package and with pkg-config, and runs both against the
# installed plug-in.
set -euo pipefail
build=$1
source=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PROGRAMDATA=$work/data VF_OBJECT_NAMESPACE=install-check-$$
mkdir -p "$PROGRAMDATA/VestraFold/Tracing"

cmake --install "$build" --prefix "$work/prefix" > /dev/null
cmake -S "$source" -B "$work/with-cmake" -DCMAKE_PREFIX_PATH="$work/prefix" > /dev/null
cmake --build "$work/with-cmake" > /dev/null
"$work/with-cmake/small_host" "$(cat "$work/with-cmake/plugin_path.txt")"

export PKG_CONFIG_PATH=$work/prefix/lib/pkgconfig
# shellcheck disable=SC2046
c++ "$source/small_host.cpp" -o "$work/with-pkg-config" $(pkg-config --cflags --libs vestrafold-ais)
"$work/with-pkg-config" "$(pkg-config --variable=plugin vestrafold-ais)"
# An older standard gets one readable message, not a page of errors.
if c++ -std=c++17 -fsyntax-only -I"$work/prefix/include/vestrafold-ais" "$source/small_host.cpp" 2> "$work/old.txt"; then
  echo "the SDK compiled under C++17"; exit 1
fi
grep -q "needs C++20" "$work/old.txt"
[[ $(grep -c "error:" "$work/old.txt") -le 2 ]] || { cat "$work/old.txt"; exit 1; }
"$work/prefix/bin/ais-host" --help > "$work/help.txt"  # not into head: a reader that leaves early would break the pipe
head -1 "$work/help.txt"
"$work/prefix/bin/ais-host" --version
# The manual pages, made from --help and --version.
for program in ais-host ais-sim; do
  grep -q "^\.SH NAME" "$work/prefix/share/man/man1/$program.1"
  grep -q "$program 9\.1\.64\.511" "$work/prefix/share/man/man1/$program.1"
done
