#!/usr/bin/env bash
# Starts the built program under a virtual X display and saves a screenshot of its main window,
# so a person can check that the Chinese texts, the icons and the skin render. Not run by CI.
#
#   bash scripts/screenshot.sh [skin.smf] [output.png] [navigation item]
#
# The navigation item (0-7, folder "操作") is clicked before the picture is taken, e.g. 7 for the
# login page. CHIMEON_EXTRA_CLICKS="x,y ..." clicks further points of the window after that (e.g.
# "120,257" ticks the login page's check box). Needs: xvfb (xvfb-run), xdotool, imagemagick (import); the program built in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
skin="${1:-corona.smf}"
output="$(realpath -m "${2:-chimeon-${skin%.smf}.png}")"
item="${3:-}"
program="${CHIMEON_BUILD_DIR:-build}/bin/chimeon"
for tool in xvfb-run xdotool import; do
    command -v "$tool" >/dev/null || { echo "$tool not found (apt-get install xvfb xdotool imagemagick)"; exit 1; }
done
[ -x "$program" ] || { echo "$program not built (bash scripts/build.sh)"; exit 1; }

# A portable copy in a scratch folder: its own setup.ini and skins, nothing written elsewhere.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/app" "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
cp "$program" "$scratch/app/chimeon"
cp -r data/skin "$scratch/app/skin"
printf '[Settings]\r\nSkin=%s\r\n' "$skin" > "$scratch/app/setup.ini"

cat > "$scratch/shoot.sh" <<'INNER'
set -euo pipefail
"$APP" & pid=$!
window=""
for _ in $(seq 1 100); do
    window="$(xdotool search --name 'Vantor' 2>/dev/null | head -n 1 || true)"
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "main window did not appear"; kill "$pid"; exit 1; }
sleep 1
# Without a tray the program says once why it minimises instead; dismiss that box.
for box in $(xdotool search --name '^Chimeon$' 2>/dev/null || true); do
    xdotool windowfocus --sync "$box" key Return 2>/dev/null || true
done
sleep 0.3
if [ -n "$ITEM" ]; then
    # Item icons lie about 58 pixels apart below the first folder button.
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove --window "$window" 54 $((53 + ITEM * 58)) click 1
    sleep 1
fi
for point in $EXTRA_CLICKS; do
    xdotool mousemove --window "$window" "${point%,*}" "${point#*,}" click 1
    sleep 0.5
done
import -window root "${OUT%.png}-screen.png"
import -window "$window" "$OUT"
kill "$pid"
wait "$pid" || true
INNER
HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime" XDG_DATA_HOME="$scratch/home/data" \
APP="$scratch/app/chimeon" OUT="$output" ITEM="$item" EXTRA_CLICKS="${CHIMEON_EXTRA_CLICKS:-}" \
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$scratch/shoot.sh"
echo "saved $output"
