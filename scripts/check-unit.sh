#!/usr/bin/env bash
# Checks the shipped user unit with systemd-analyze verify (user mode). The unit's ExecStart must
# name an existing program: it is checked on a copy that points at BINARY (default: the built
# build/bin/chimeond, else /usr/bin/chimeond).
#   scripts/check-unit.sh [BINARY]
set -euo pipefail
cd "$(dirname "$0")/.."
binary="${1:-build/bin/chimeond}"
[ -x "$binary" ] || binary=/usr/bin/chimeond
binary="$(realpath "$binary")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sed "s#^ExecStart=/usr/bin/chimeond#ExecStart=$binary#" data/systemd/chimeond.service \
    > "$work/chimeond.service"
grep -q "^ExecStart=$binary\$" "$work/chimeond.service" || {
    echo "unit: ExecStart is not /usr/bin/chimeond"
    exit 1
}
# A root shell has no user manager: a runtime folder of its own is enough for verify.
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$work}"
report="$(systemd-analyze --user verify "$work/chimeond.service" 2>&1)" || {
    echo "$report"
    echo "unit: systemd-analyze verify failed"
    exit 1
}
if [ -n "$report" ]; then
    echo "$report"
    echo "unit: systemd-analyze verify has remarks"
    exit 1
fi
echo "unit: data/systemd/chimeond.service verified (user mode)"
