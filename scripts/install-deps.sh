#!/usr/bin/env bash
# Installs every Debian package that building, running and testing thwacko needs.
# Idempotent: packages already present are left alone. Uses sudo when not root.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev
  # core libraries and test tools
  nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev
  # platform layer
  qt6-base-dev
  librtaudio-dev librtmidi-dev libasound2-dev libjack-jackd2-dev libpipewire-0.3-dev libpulse-dev libudev-dev
  # real audio and MIDI components for the tests: jackd; the private PipeWire session (pw-cli,
  # pw-dump, pw-link come with pipewire-bin, pactl with pulseaudio-utils, its session bus with
  # dbus-daemon); PulseAudio itself, which installs beside PipeWire
  jackd2 pipewire pipewire-bin pipewire-pulse wireplumber pulseaudio pulseaudio-utils
  # tray application: Qt Quick and the QML modules the panel imports, the Inter faces, Wayland
  qt6-declarative-dev qml6-module-qtquick qml6-module-qtquick-window qml6-module-qtquick-controls
  qml6-module-qtquick-templates qml6-module-qtquick-layouts qml6-module-qtqml-workerscript
  qml6-module-qtquick-shapes fonts-inter qt6-wayland
  # panel tests and screenshots: Quick Test, a virtual X server with llvmpipe OpenGL, keystrokes
  qml6-module-qttest qt6-declarative-dev-tools xvfb xauth x11-utils xdotool libgl1-mesa-dri
  # HTTPS feed server (certificate made by openssl; system CA store) and private D-Bus for the tests
  openssl ca-certificates dbus-daemon
  # sensors presented at the real /sys and /dev paths for the back ends' tests
  umockdev libumockdev-dev
  # the application icon's PNGs; the Debian package (dpkg-shlibdeps, file) and its check
  librsvg2-bin dpkg-dev file desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
# jackd2 asks whether to enable real-time scheduling; the answer does not matter for us.
echo "jackd2 jackd/tweak_rt_limits boolean false" | "${sudo[@]}" debconf-set-selections
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
