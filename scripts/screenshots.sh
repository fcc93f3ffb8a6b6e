#!/usr/bin/env bash
# Draws the panel in each of its states, light and dark (each mode, MIDI on, switched off,
# activity list open, ripples and a lit picker mid-flight, settings card, every calibration
# stage, About with and without an update, the no-sensor screen) and writes one PNG per state:
#   scripts/screenshots.sh OUTDIR
# The panel renders on a private X server through OpenGL (Mesa's llvmpipe where there is no
# GPU). Uses the build in build/ unless THWACKO_BUILD_DIR names another.
set -euo pipefail
out=${1:?usage: scripts/screenshots.sh OUTDIR}
cd "$(dirname "$0")/.."
build=${THWACKO_BUILD_DIR:-build}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target thwacko-screenshots
mkdir -p "$out"
QT_QPA_PLATFORM=xcb QSG_INFO=1 xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX" \
  "$build/thwacko-screenshots" "$out" 2>&1 | grep -E '^(qt.rhi.general: OpenGL VENDOR|\/)' || true
ls "$out"/*.png >/dev/null
