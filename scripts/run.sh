#!/usr/bin/env bash
# Sets everything up, builds, and starts thwacko.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
if [ -x build/thwacko ]; then
  exec build/thwacko "$@"
fi
echo "The tray app is not part of this build yet: built the core library, the back ends and the tests." >&2
echo "Run scripts/test.sh to exercise them." >&2
