#!/usr/bin/env bash
# Runs every libFuzzer target for a while (default 60 s each), starting from the seed corpus
# in tests/fuzz/corpus/<target>. New interesting inputs land in build-fuzz/corpus/<target>;
# copy the small ones that matter into the seed corpus. Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
bash scripts/install-deps.sh
# The core is instrumented too, so that the fuzzers see its branches and ASan checks it.
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTHWACKO_CORE_ONLY=ON \
  -DTHWACKO_BUILD_TESTS=ON -DTHWACKO_BUILD_BENCH=OFF -DTHWACKO_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined"
targets=()
for source in tests/fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]}"
for name in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$name"
  echo "== $name for ${seconds}s"
  "build-fuzz/tests/fuzz/$name" -max_total_time="$seconds" -print_final_stats=1 \
    "build-fuzz/corpus/$name" "tests/fuzz/corpus/$name"
done
