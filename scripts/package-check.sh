#!/usr/bin/env bash
# Builds the Debian package from an already built tree and checks it the way a user would meet
# it: its control data and files, the desktop entry and listing, the dependencies (real Debian 12
# packages, and every QML module the panel loads among them), and the programs started from the
# unpacked package rather than from the build tree. Also an install from source into a
# throw-away root, which must find the same places.
#   scripts/package-check.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ] || [ ! -f "$1/CPackConfig.cmake" ]; then
  echo "usage: scripts/package-check.sh BUILD_DIR (a configured and built full build)" >&2
  exit 2
fi
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
ok() { echo "ok    $1"; }
fail() {
  echo "FAIL  $1" >&2
  failures=$((failures + 1))
}

# The package, next to where `cmake --build BUILD_DIR --target package` puts it.
if ! cpack --config "$build/CPackConfig.cmake" -B "$build" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL  cpack could not build the package" >&2
  exit 1
fi
deb=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$work/cpack.log")
if [ ! -f "$deb" ]; then
  cat "$work/cpack.log" >&2
  echo "FAIL  cpack named no package it generated" >&2
  exit 1
fi
field() { dpkg-deb --field "$deb" "$1"; }
version=$(field Version)
arch=$(field Architecture)
[ "$(basename "$deb")" = "thwacko_${version}_${arch}.deb" ] &&
  ok "built $(basename "$deb") ($(stat -c %s "$deb") bytes)" ||
  fail "package file $deb is not named thwacko_${version}_${arch}.deb"

# Control data: the fields a Debian archive and apt show.
dpkg-deb --info "$deb" >"$work/info"
missing=()
for f in Package Version Architecture Maintainer Description Section Homepage Depends Recommends; do
  [ -n "$(field "$f")" ] || missing+=("$f")
done
if [ ${#missing[@]} -eq 0 ] && [ "$(field Package)" = thwacko ] && [ "$(field Section)" = sound ]; then
  ok "control fields: Package thwacko, Section sound, Maintainer, Description, Homepage, Depends"
else
  fail "control fields missing or wrong: ${missing[*]:-} (Package $(field Package), Section $(field Section))"
fi
grep -Eq '^ +[0-9]+ bytes, +[0-9]+ lines +\* +postinst ' "$work/info" &&
  ok "postinst present and executable" || fail "no executable postinst in the control archive"

# Depends: names without versions or alternatives.
depends=$(field Depends)
dependency_names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g' | sed '/^$/d' | sort -u)
grep -qx libqt6core6 <<<"$dependency_names" && grep -qx librtaudio6 <<<"$dependency_names" &&
  ok "shared-library dependencies computed (libqt6core6, librtaudio6, ...)" ||
  fail "Depends lacks the shared libraries dpkg-shlibdeps finds: $depends"
# Every dependency must be a real package in a version this Debian has; here all are installed.
if dpkg-checkbuilddeps -d "$depends" /dev/null 2>"$work/deps"; then
  ok "every dependency is satisfied by an installed Debian package"
else
  fail "dependencies not satisfiable here: $(cat "$work/deps")"
fi

# Files where a Linux desktop and udev look for them.
dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/contents"
expected=(
  /usr/bin/thwacko /usr/bin/thwacko-record /usr/bin/thwacko-replay /usr/bin/thwacko-sensors
  /usr/libexec/thwacko-sensor-id
  /usr/share/applications/thwacko.desktop /usr/share/icons/hicolor/scalable/apps/thwacko.svg
  /usr/share/icons/hicolor/48x48/apps/thwacko.png /usr/share/icons/hicolor/128x128/apps/thwacko.png
  /usr/share/metainfo/thwacko.metainfo.xml /usr/lib/udev/rules.d/70-thwacko-sensor.rules
  /usr/share/doc/thwacko/copyright
)
absent=()
for f in "${expected[@]}"; do grep -qx "$f" "$work/contents" || absent+=("$f"); done
[ ${#absent[@]} -eq 0 ] && ok "contents: ${#expected[@]} expected files" ||
  fail "files missing from the package: ${absent[*]}"
outside=$(grep -v '^/usr/' "$work/contents" | grep -v '^/$' || true)
[ -z "$outside" ] && ok "every file under /usr" || fail "files outside /usr: $outside"

root="$work/root"
dpkg-deb -x "$deb" "$root"

# The desktop entry, its icon and program, and the software-centre listing.
desktop="$root/usr/share/applications/thwacko.desktop"
if desktop-file-validate "$desktop" >"$work/validate" 2>&1 && [ ! -s "$work/validate" ]; then
  ok "desktop-file-validate thwacko.desktop"
else
  fail "desktop-file-validate: $(cat "$work/validate")"
fi
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$root/usr/bin/$exec_name" ] && [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ] &&
  ok "desktop entry starts /usr/bin/$exec_name with icon $icon_name" ||
  fail "desktop entry names program '$exec_name' or icon '$icon_name' that the package lacks"
metainfo="$root/usr/share/metainfo/thwacko.metainfo.xml"
if appstreamcli validate --no-net "$metainfo" >"$work/appstream" 2>&1; then
  ok "appstreamcli validate thwacko.metainfo.xml"
else
  fail "appstreamcli validate: $(cat "$work/appstream")"
fi

# The udev rule runs the sensor probe by its path in the package, and the probe works.
rule="$root/usr/lib/udev/rules.d/70-thwacko-sensor.rules"
grep -qs 'IMPORT{program}="/usr/libexec/thwacko-sensor-id ' "$rule" &&
  ok "udev rule runs /usr/libexec/thwacko-sensor-id" ||
  fail "udev rule does not run /usr/libexec/thwacko-sensor-id: $(grep -s IMPORT "$rule" || echo no rule)"
printf '\x06\x00\xff\x09\x03\xa1\x01\xc0' >"$work/accelerometer.desc" # page 0xFF00, usage 3
printf '\x05\x01\x09\x02\xa1\x01\xc0' >"$work/mouse.desc"               # a mouse
if [ "$("$root/usr/libexec/thwacko-sensor-id" "$work/accelerometer.desc")" = THWACKO_ACCELEROMETER=1 ] &&
  [ -z "$("$root/usr/libexec/thwacko-sensor-id" "$work/mouse.desc")" ]; then
  ok "packaged thwacko-sensor-id tells the accelerometer from a mouse"
else
  fail "packaged thwacko-sensor-id misjudges the test descriptors"
fi

# Every shared library the packaged programs need resolves.
unresolved=$(for p in "$root"/usr/bin/* "$root"/usr/libexec/*; do ldd "$p" | grep 'not found' || true; done)
[ -z "$unresolved" ] && ok "all shared libraries resolve" || fail "unresolved libraries: $unresolved"

# The demo recording through the packaged thwacko-replay: activity lines, and the same output
# as the build tree's own copy.
if "$root/usr/bin/thwacko-replay" "$repo/examples/demo-groove.thwacko" >"$work/replay" 2>&1; then
  hits=$(grep -Ec $'^[0-9]+\\.[0-9]+\tactionTriggered\t' "$work/replay" || true)
  if [ "$hits" -gt 0 ] && "$build/tools/thwacko-replay" "$repo/examples/demo-groove.thwacko" 2>&1 |
    cmp -s - "$work/replay"; then
    ok "packaged thwacko-replay plays the demo recording ($hits hits, same as the build tree)"
  else
    fail "packaged thwacko-replay printed $hits hits or differs from the build tree's"
  fi
else
  fail "packaged thwacko-replay exited with $?: $(tail -5 "$work/replay")"
fi

# The tray app from the package, offscreen on a private session bus with a throw-away home:
# still running after 3 s, its panel loaded, and every QML module it loads (and every one the
# panel's files import) shipped by a package it depends on.
home="$work/home"
mkdir -p "$home" "$work/runtime"
chmod 700 "$work/runtime"
rc=0
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
  QML_IMPORT_TRACE=1 dbus-run-session -- timeout -k 5 3 "$root/usr/bin/thwacko" >"$work/app" 2>&1 || rc=$?
if [ "$rc" -eq 124 ]; then
  ok "packaged thwacko still running after 3 s (offscreen, private D-Bus session)"
else
  fail "packaged thwacko ended with $rc within 3 s: $(grep -v qt.qml.import "$work/app" | tail -5)"
fi
qml_errors=$(grep -E '^qrc:/qml/.*(is not installed|is not a type|unavailable|No such file)' "$work/app" ||
  true)
[ -z "$qml_errors" ] && ok "panel loaded without QML errors" || fail "QML errors: $qml_errors"

qml_dir=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/qt6/qml
{
  grep -o "$qml_dir/[^\" ]*/qmldir" "$work/app" || true
  grep -h '^import Qt' "$repo"/src/ui/qml/*.qml | awk '{print $2}' | tr . / | sed "s|.*|$qml_dir/&/qmldir|"
} | sort -u >"$work/qmldirs"
undeclared=()
while read -r qmldir; do
  package=$(dpkg -S "$qmldir" 2>/dev/null | cut -d: -f1)
  grep -qx "${package:-none}" <<<"$dependency_names" ||
    undeclared+=("${qmldir#"$qml_dir/"} (${package:-no package})")
done <"$work/qmldirs"
modules=$(wc -l <"$work/qmldirs")
[ ${#undeclared[@]} -eq 0 ] && ok "all $modules QML modules the panel uses come from Depends" ||
  fail "QML modules not covered by Depends: ${undeclared[*]}"

# An install from source with a prefix chosen only at install time: the same files under the
# prefix, the udev rule in /etc where udev reads it, naming the sensor probe under that prefix.
dest="$work/dest"
DESTDIR="$dest" cmake --install "$build" --prefix /opt/thwacko >"$work/install.log" 2>&1 ||
  fail "cmake --install failed: $(tail -3 "$work/install.log")"
absent=()
for f in "${expected[@]}"; do
  case $f in
    /usr/lib/udev/*) f=/etc/udev/rules.d/${f##*/} ;;
    *) f=/opt/thwacko/${f#/usr/} ;;
  esac
  [ -f "$dest$f" ] || absent+=("$f")
done
if [ ${#absent[@]} -eq 0 ] && grep -qs 'IMPORT{program}="/opt/thwacko/libexec/thwacko-sensor-id ' \
  "$dest/etc/udev/rules.d/70-thwacko-sensor.rules"; then
  ok "cmake --install --prefix /opt/thwacko: same files, rule in /etc/udev/rules.d naming the prefix"
else
  fail "cmake --install --prefix /opt/thwacko: missing ${absent[*]:-nothing}, or the rule names another probe"
fi

if [ "$failures" -gt 0 ]; then
  echo "package check: $failures check(s) failed" >&2
  exit 1
fi
echo "package check: all passed ($deb)"
