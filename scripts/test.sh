#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite.
# --sanitize: the same suites built with ASan and UBSan in build-asan/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake_args=()
if [ "${1:-}" = "--sanitize" ]; then
    build="${ASAN_BUILD_DIR:-$root/build-asan}"
    cmake_args=(-DAUDITLOG_SANITIZE=ON)
    source "$root/scripts/sanitizer-env.sh"
fi
"$root/scripts/deps.sh"
BUILD_DIR="$build" "$root/scripts/build.sh" "${cmake_args[@]}"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 600
