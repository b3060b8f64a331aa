#!/usr/bin/env bash
# Installs what is missing, builds the whole project and runs the whole test suite.
#   bash scripts/test.sh             ordinary build in build/
#   bash scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

dir=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-asan
    flags=(-DEXAM_SANITIZE=ON -DEXAM_BUILD_BENCH=OFF)
fi

cmake -S . -B "$dir" -G Ninja "${flags[@]}"
cmake --build "$dir" -j2
ctest --test-dir "$dir" --output-on-failure -j2
