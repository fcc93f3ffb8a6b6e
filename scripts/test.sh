#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite, every build with warnings as errors:
#   1. the full Release build (core, platform back ends, tools) and every test, against real
#      components;
#      then the Debian package built from it, unpacked and started (scripts/package-check.sh);
#   2. the core and its tests again under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the tests that cross threads (audio mixer, lock-free queue) under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTHWACKO_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
bash scripts/package-check.sh build

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTHWACKO_CORE_ONLY=ON \
  -DTHWACKO_BUILD_BENCH=OFF -DTHWACKO_SANITIZE=address,undefined -DTHWACKO_WERROR=ON
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTHWACKO_CORE_ONLY=ON \
  -DTHWACKO_BUILD_BENCH=OFF -DTHWACKO_SANITIZE=thread -DTHWACKO_WERROR=ON
cmake --build build-tsan -j "$jobs" --target output_tests support_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j "$jobs" \
  -R '^(SoundEngineTest\.|SpscQueue\.)'
