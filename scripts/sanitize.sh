#!/usr/bin/env bash
# The test suite under the sanitizers: AddressSanitizer with UBSan over every
# test, ThreadSanitizer over the suites with threads (lifecycle, links, end to
# end, host). Any report fails the test that caused it.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAIS_SANITIZE=address -DAIS_BENCHMARKS=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

threaded=(plugin_lifecycle_test serial_link_test network_link_test device_link_test end_to_end_test simulator_test)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAIS_SANITIZE=thread -DAIS_BENCHMARKS=OFF
cmake --build build-tsan -j"$jobs" --target "${threaded[@]}"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan --output-on-failure -j"$jobs" \
  -R '^(PluginLifecycle|SerialLink|TcpLink|UdpLink|DeviceLink|DeviceLinkOpen|EndToEnd|Simulator)\.'
