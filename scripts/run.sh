#!/usr/bin/env bash
# Sets everything up, builds, and starts thwacko.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)" --target thwacko
exec build/thwacko "$@"
