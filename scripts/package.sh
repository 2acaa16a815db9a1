#!/usr/bin/env bash
# Builds the Debian package build/chimeon_VERSION_ARCH.deb with CPack and checks it: the files it
# must hold, its desktop entry (desktop-file-validate), chimeond's user unit (scripts/check-unit.sh)
# and lintian (no errors). Then:
#
#   apt-get install ./build/chimeon_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build="${CHIMEON_BUILD_DIR:-build}"
bash scripts/build.sh
rm -f "$build"/chimeon_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/chimeon_*.deb)"

listing="$(dpkg-deb -c "$deb" | awk '{ print $6 }')"
for file in usr/bin/chimeon usr/bin/chimeonctl usr/bin/chimeond usr/lib/systemd/user/chimeond.service \
    usr/share/dbus-1/interfaces/org.chimeon.Broadcaster1.xml \
    usr/share/applications/chimeon.desktop \
    usr/share/icons/hicolor/scalable/apps/chimeon.svg usr/share/chimeon/Larkworks.gif \
    usr/share/chimeon/skin/corona.smf usr/share/chimeon/help/index.html \
    usr/share/doc/chimeon/copyright usr/share/doc/chimeon/changelog.gz; do
    grep -qx "\./$file" <<<"$listing" || { echo "package: $file is missing from $deb"; exit 1; }
done
entry="$(mktemp --suffix=.desktop)"
tree="$(mktemp -d)"
trap 'rm -rf "$entry" "$tree"' EXIT
# The shipped unit, verified against the program the package installs.
dpkg-deb -x "$deb" "$tree"
cmp -s "$tree/usr/lib/systemd/user/chimeond.service" data/systemd/chimeond.service || {
    echo "package: the unit in $deb is not data/systemd/chimeond.service"
    exit 1
}
bash scripts/check-unit.sh "$tree/usr/bin/chimeond"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/chimeon.desktop > "$entry"
desktop-file-validate "$entry"
lintian_ok=true
report="$(lintian --fail-on error "$deb" 2>&1)" || lintian_ok=false
grep -v 'running with root privileges' <<<"$report" || true
$lintian_ok || { echo "package: lintian found errors"; exit 1; }
echo "package: $deb ($(du -h "$deb" | cut -f1)), files, desktop entry and unit checked, no lintian errors"
