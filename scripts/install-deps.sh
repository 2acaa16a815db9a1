#!/usr/bin/env bash
# The one list of Debian 12 packages that building, running and testing Chimeon needs.
# Used by scripts/run.sh, scripts/test.sh and .ci/run. Run as root (or through sudo).
set -euo pipefail

PACKAGES=(
    # build
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    # tests, their line coverage, and benchmarks
    libgtest-dev libgmock-dev gcovr libbenchmark-dev
    # play history, admin command line
    libsqlite3-dev libcli11-dev nlohmann-json3-dev
    # power-off through systemd-logind (sd-bus); its test's own D-Bus daemon and mock logind
    libsystemd-dev dbus python3-dbusmock
    # the read-only status page and the alerts' webhook (HTTP server and client); the page's test
    # in a headless browser (skipped when absent)
    libcpp-httplib-dev chromium chromium-driver python3-selenium
    # the stored password's Blowfish cipher
    nettle-dev
    # office calendar files (.ics) imported and exported on the holiday page and by chimeonctl
    libical-dev
    # sound: ALSA mixer, and a PulseAudio null sink that tests and benchmarks play into
    libasound2-dev libasound2-plugins pulseaudio pulseaudio-utils
    # user interface: Qt 6 Widgets, its SVG plugins for the icons, a CJK font for the Chinese texts,
    # Qt's own Chinese translations (its buttons and dialogs)
    qt6-base-dev libgl-dev libqt6svg6 fonts-wqy-microhei qt6-translations-l10n
    # media player: GStreamer's playbin, its decoders (MP3, WAV, WebM, MIDI through fluiddec)
    # and outputs; the encoders the tests make their media with
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
    gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-tools
    gstreamer1.0-plugins-base-apps gstreamer1.0-alsa gstreamer1.0-pulseaudio timgm6mb-soundfont
    gstreamer1.0-libav gstreamer1.0-plugins-ugly
    # the network output's server and clients (Snapcast 0.26), which the tests and the bench start
    snapserver snapclient
    # the Debian package and its checks (and the autostart entry's), the style check of the sources;
    # systemd-analyze verifies chimeond's unit
    desktop-file-utils lintian clang-format systemd
)

missing=()
for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
        || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
