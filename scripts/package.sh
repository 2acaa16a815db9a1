#!/usr/bin/env bash
# Builds the Debian package build/chimeon_VERSION_ARCH.deb with CPack and checks it: the files it
# must hold, its desktop entry (desktop-file-validate) and lintian (no errors). Then:
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
for file in usr/bin/chimeon usr/bin/chimeonctl usr/share/applications/chimeon.desktop \
    usr/share/icons/hicolor/scalable/apps/chimeon.svg usr/share/chimeon/Larkworks.gif \
    usr/share/chimeon/skin/corona.smf usr/share/chimeon/help/index.html \
    usr/share/doc/chimeon/copyright usr/share/doc/chimeon/changelog.gz; do
    grep -qx "\./$file" <<<"$listing" || { echo "package: $file is missing from $deb"; exit 1; }
done
entry="$(mktemp --suffix=.desktop)"
trap 'rm -f "$entry"' EXIT
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/chimeon.desktop > "$entry"
desktop-file-validate "$entry"
lintian_ok=true
report="$(lintian --fail-on error "$deb" 2>&1)" || lintian_ok=false
grep -v 'running with root privileges' <<<"$report" || true
$lintian_ok || { echo "package: lintian found errors"; exit 1; }
echo "package: $deb ($(du -h "$deb" | cut -f1)), files and desktop entry checked, no lintian errors"
