#!/usr/bin/env bash
# Configures and builds the program and its tests into build/ (or $CHIMEON_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${CHIMEON_BUILD_DIR:-build}"
werror=OFF
if [ "${CI:-}" = "true" ]; then
    werror=ON
fi
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCHIMEON_WERROR="$werror" "$@"
cmake --build "$build_dir"
