#!/usr/bin/env bash
# Soak of the real program: the built chimeon (the window, which starts its broadcaster chimeond on
# a session bus of the soak's own) plays a day table with a start every 5 seconds into
# a PulseAudio null sink of its own for MINUTES minutes (file rows, folder rows in order and
# shuffled, chained rows, rows with end times, a missing file, a broken file). Afterwards its play
# history is compared with the table (bench/soak_audit: every due start recorded exactly once,
# every failure with its reason, nothing started twice), and the broadcaster's resident memory,
# open file descriptors and CPU time at the start and at the end are printed and their growth judged.
#
#   bash scripts/soak.sh [MINUTES]        (default 60; CI runs 3)
#
# Exit status 0 when the history matches and nothing grew, 1 otherwise, 2 when it cannot run.
# Needs the build (bash scripts/build.sh), pulseaudio, pactl and gst-launch-1.0.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes="${1:-60}"
build="$(realpath "${CHIMEON_BUILD_DIR:-build}")"
program="$build/bin/chimeon"
broadcaster="$build/bin/chimeond"
ctl="$build/bin/chimeonctl"
audit="$build/bench/soak_audit"
for file in "$program" "$broadcaster" "$ctl" "$audit"; do
    [ -x "$file" ] || { echo "soak: $file is not built (bash scripts/build.sh)"; exit 2; }
done
for tool in pulseaudio pactl gst-launch-1.0 dbus-daemon; do
    command -v "$tool" >/dev/null || { echo "soak: $tool not found"; exit 2; }
done

# Bells every 5 s from 30 s after the start (the program and GStreamer's plugin scan come up
# first), all within one day: a run that would cross midnight waits for the new day.
seconds_of_day() { echo $((10#$(date +%H) * 3600 + 10#$(date +%M) * 60 + 10#$(date +%S))); }
span=$((minutes * 60 + 60))
if [ $(( $(seconds_of_day) + span )) -ge 86400 ]; then
    wait_for=$((86400 - $(seconds_of_day) + 5))
    echo "soak: waiting ${wait_for}s for the new day, so the run stays within one date"
    sleep "$wait_for"
fi

scratch="$(mktemp -d)"
pid=""
window=""
bus=""
cleanup() {
    [ -n "$window" ] && kill "$window" 2>/dev/null || true
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    [ -n "$bus" ] && kill "$bus" 2>/dev/null || true
    pulseaudio --kill >/dev/null 2>&1 || true
    if [ -n "${CHIMEON_SOAK_KEEP:-}" ]; then
        echo "soak: kept $scratch"
    else
        rm -rf "$scratch"
    fi
}
trap cleanup EXIT
mkdir -p "$scratch/home" "$scratch/run" "$scratch/app/media/in-order" "$scratch/app/media/shuffled"
chmod 700 "$scratch/run"
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" XDG_CONFIG_HOME="$scratch/home/config"
export XDG_DATA_HOME="$scratch/home/data" QT_QPA_PLATFORM=offscreen
export GST_REGISTRY="$build/soak-gst-registry.bin"
unset PULSE_SERVER

# A session bus of our own: the window reaches its broadcaster there.
dbus-daemon --session --nofork --nopidfile --address="unix:path=$scratch/run/bus" 2>/dev/null &
bus=$!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/run/bus"
for _ in $(seq 1 50); do [ -S "$scratch/run/bus" ] && break; sleep 0.1; done

# A sound server of our own with a null sink as its default output.
pulseaudio -D --exit-idle-time=-1 --disallow-exit --log-target=stderr 2>/dev/null
for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl load-module module-null-sink sink_name=chimeon_soak >/dev/null
pactl set-default-sink chimeon_soak

# A portable copy of the program with its media.
app="$scratch/app"
cp "$program" "$app/chimeon"
cp "$broadcaster" "$app/chimeond"
cp -r data/skin "$app/skin"
printf '[Settings]\r\nSkin=corona.smf\r\nShowMedia=0\r\n' > "$app/setup.ini"
# Every weekday a working day: without this file Saturday and Sunday are rest days, and a soak
# run at the weekend would hear nothing.
printf '0000000\r\n' > "$app/HlidSave.dat"
tone() {  # tone FILE TENTHS_OF_A_SECOND [ENCODER]
    gst-launch-1.0 -q audiotestsrc num-buffers="$2" samplesperbuffer=4410 freq=660 \
        ! audio/x-raw,rate=44100,channels=1 ! "${3:-wavenc}" ! filesink location="$1"
}
# Short sounds: a null sink takes about 1.8 s to drain the end of each file, and every row
# must be over before the next one is due (a row due while another plays is skipped by rule).
tone "$app/media/bell.wav" 3
tone "$app/media/chime.mp3" 3 lamemp3enc
for name in a b; do
    tone "$app/media/in-order/$name.wav" 1
    tone "$app/media/shuffled/$name.wav" 1
done
head -c 20000 /dev/urandom > "$app/media/broken.wav"

# The day table in its stored form (GBK, CR LF, four lines an item): one row every 5 s, seven
# kinds in turn. Written directly, because the import refuses the missing and the broken file.
first=$(( $(seconds_of_day) + 30 ))
count=$((minutes * 60 / 5))
last=$((first + (count - 1) * 5))
at() { echo "$(($1 / 3600)):$(($1 % 3600 / 60)):$(($1 % 60))"; }
row() {  # row TITLE START END RANDOM(0/1) PATH
    printf '%s\r\n%s\r\n%s  100\r\n%s%s\r\n' "$1" "$2" "$3" "$4" "$5"
}
media="$app/media"
table="Day$(date +%w).dat"
for ((i = 0; i < count; i++)); do
    t=$((first + 5 * i))
    case $((i % 7)) in
        0) row "上课铃$i" "$(at $t)" 播完终止 0 "$media/bell.wav" ;;
        1) row "音乐$i" "$(at $t)" 播完终止 0 "$media/chime.mp3"
           row "续播$i" 续播 播完终止 0 "$media/bell.wav" ;;
        2) row "顺序$i" "$(at $t)" 播完终止 0 "$media/in-order/" ;;
        3) row "随机$i" "$(at $t)" 播完终止 1 "$media/shuffled/" ;;
        4) row "循环$i" "$(at $t)" "$(at $((t + 3)))" 0 "$media/bell.wav" ;;
        5) row "缺失$i" "$(at $t)" 播完终止 0 "$media/missing.wav" ;;
        6) row "损坏$i" "$(at $t)" 播完终止 0 "$media/broken.wav" ;;
    esac
done | iconv -f UTF-8 -t GB18030 > "$app/$table"
date="$(date +%F)"

"$app/chimeon" > "$scratch/program.log" 2>&1 &
window=$!
# The broadcaster the window starts beside itself plays the bells: its figures are the ones judged.
for _ in $(seq 1 100); do
    pid=$(pgrep -f "^$app/chimeond" | head -1 || true)
    [ -n "$pid" ] && break
    sleep 0.1
done
[ -n "$pid" ] || { echo "soak: the window did not start its broadcaster"; cat "$scratch/program.log"; exit 2; }
echo "soak: $count starts from $(at $first) to $(at $last) ($minutes min), broadcaster $pid, window $window"

ticks=$(getconf CLK_TCK)
sample() {  # prints "RSS_KB FDS CPU_MS"
    local rss fds cpu
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")
    fds=$(ls "/proc/$pid/fd" | wc -l)
    cpu=$(awk -v t="$ticks" '{ print int(($14 + $15) * 1000 / t) }' "/proc/$pid/stat")
    echo "$rss $fds $cpu"
}
sleep_until() { local now; now=$(seconds_of_day); [ "$1" -gt "$now" ] && sleep $(($1 - now)); true; }

# The first figures once every kind of row has played (the decoders they need are loaded then).
sleep_until $((first + 7 * 5 + 3))
kill -0 "$pid" 2>/dev/null || { echo "soak: the program did not come up"; cat "$scratch/program.log"; exit 2; }
read -r rss0 fds0 cpu0 < <(sample)
measured=$((last + 8 - (first + 38)))  # seconds between the two samples
sleep_until $((last + 8))
kill -0 "$pid" 2>/dev/null || { echo "soak: the broadcaster ended during the run"; tail -20 "$scratch/program.log"; exit 1; }
kill -0 "$window" 2>/dev/null || { echo "soak: the window ended during the run"; tail -20 "$scratch/program.log"; exit 1; }
read -r rss1 fds1 cpu1 < <(sample)
kill -TERM "$window"
wait "$window" || true
window=""
# Not the soak's child: waited for by its process entry.
kill -TERM "$pid"
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
pid=""

status=0
"$audit" "$app" "$table" "$date" "$first" "$last" || status=1
echo "figures from $(at $((first + 38))) (every kind of row played once) to $(at $((last + 8)))"
printf 'resident memory: %d kB at the start, %d kB at the end (%+d kB)\n' "$rss0" "$rss1" $((rss1 - rss0))
printf 'open descriptors: %d at the start, %d at the end (%+d)\n' "$fds0" "$fds1" $((fds1 - fds0))
printf 'CPU time: %d ms in %d s of bells (%d.%02d %% of a core)\n' $((cpu1 - cpu0)) "$measured" \
    $(((cpu1 - cpu0) / (measured * 10))) $(((cpu1 - cpu0) * 10 / measured % 100))
# A leak grows with the number of starts: a pipeline a start was 3 descriptors and ~0.5 MB.
if [ $((fds1 - fds0)) -gt 8 ]; then
    echo "soak: open descriptors grew"; status=1
fi
if [ $((rss1 - rss0)) -gt 30000 ]; then
    echo "soak: resident memory grew by more than 30 MB"; status=1
fi
[ "$status" -eq 0 ] && echo "soak: passed" || echo "soak: FAILED"
exit "$status"
