#!/usr/bin/env bash
# Builds vesk with AddressSanitizer and UndefinedBehaviorSanitizer in ./build-asan
# (or $VESK_ASAN_BUILD_DIR) and runs every test there; any finding fails its test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VESK_ASAN_BUILD_DIR:-$root/build-asan}"
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" \
  -DVESK_SANITIZE=address,undefined >/dev/null
cmake --build "$build" -j"${VESK_JOBS:-2}"
cd "$build"
# ctest gives each test the sanitizer options (see vesk_add_test).
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"${VESK_JOBS:-2}" "$@"
