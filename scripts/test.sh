#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. Ends with ctest's summary of the full build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

werror=OFF
if [ "${CI:-}" = "true" ]; then
    werror=ON
fi

echo "== core with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCHIMEON_CORE_ONLY=ON \
    -DCHIMEON_SANITIZE=ON -DCHIMEON_BUILD_BENCH=OFF -DCHIMEON_WERROR="$werror"
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j2

echo "== fuzzers (a short fixed run each)"
bash scripts/fuzz.sh

echo "== full build"
bash scripts/build.sh -DCHIMEON_TEST_CLOCK=ON

if [ "${CI:-}" = "true" ]; then
    echo "== formatting (clang-format, the style file in the repository's root)"
    find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 |
        xargs -0 clang-format --dry-run --Werror
    echo "== Debian package"
    bash scripts/package.sh
    echo "== soak of the real program (3 minutes of bells)"
    bash scripts/soak.sh 3
fi
ctest --test-dir build --output-on-failure -j2
