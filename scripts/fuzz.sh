#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UBSan, seeds
# them from the real-world recordings and the simulator, and runs each for a
# bounded time (FUZZ_SECONDS, default 60). Fails on any finding; the input
# that found it is left in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-60}"

bash scripts/install-packages.sh clang-14 libclang-rt-14-dev cmake ninja-build

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DAIS_FUZZ=ON -DAIS_SANITIZE=address -DAIS_TESTS=OFF -DAIS_BENCHMARKS=OFF
cmake --build build-fuzz -j"$(nproc)"

corpus_dir=$(sed -n 's/^AIS_CORPUS_DIR:PATH=//p' build-fuzz/CMakeCache.txt)
seeds=build-fuzz/seeds
rm -rf "$seeds" && mkdir -p "$seeds"/{sentence_path_fuzz,payload_fuzz,option_text_fuzz,trace_file_fuzz}
# Received lines: pieces of every recording, and simulated traffic with faults.
for file in "$corpus_dir"/*; do
  split -l 40 -d -a 4 "$file" "$seeds/sentence_path_fuzz/$(basename "$file")."
done
build-fuzz/tools/ais-sim --stdout --count 400 --faults 0.04 --rate 1000000 2>/dev/null |
  split -l 20 -d -a 4 - "$seeds/sentence_path_fuzz/sim."
# Payloads: the sixth field of the sentences.
cat "$seeds"/sentence_path_fuzz/* | tr -d '\r' | awk -F, 'NF >= 7 && $6 != "" && n++ < 2000 { print $6 }' |
  split -l 1 -d -a 4 - "$seeds/payload_fuzz/p."
for file in "$seeds"/payload_fuzz/*; do printf '%s' "$(cat "$file")" > "$file"; done
printf 'CRC=1;' > "$seeds/option_text_fuzz/a"
printf 'A\0=\0001\0;\0C\0R\0C\0=\0000\0;\0' > "$seeds/option_text_fuzz/b"
printf '57\r\n1|1.000|4|[AIS] Plugin started.\r\r\n' > "$seeds/trace_file_fuzz/a"
printf 'x\r\n\r\r\n\r\r\n' > "$seeds/trace_file_fuzz/b"

mkdir -p build-fuzz/findings build-fuzz/work
status=0
for target in sentence_path_fuzz payload_fuzz option_text_fuzz trace_file_fuzz; do
  mkdir -p "build-fuzz/work/$target"
  echo "fuzzing $target for $seconds s"
  if ! build-fuzz/fuzz/$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="build-fuzz/findings/$target-" "build-fuzz/work/$target" "$seeds/$target" \
      > "build-fuzz/$target.log" 2>&1; then
    echo "$target found a problem:"; tail -40 "build-fuzz/$target.log"; status=1
  else
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "build-fuzz/$target.log" | tr '\n' ' '; echo
  fi
done
exit $status
