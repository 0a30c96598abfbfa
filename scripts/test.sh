#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite.
# --sanitize: the same suites built with ASan and UBSan in build-asan/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/deps.sh"
if [ "${1:-}" = "--sanitize" ]; then
    build="${ASAN_BUILD_DIR:-$root/build-asan}"
    # The option stays in the build folder's cache for build.sh's configure.
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DAUDITLOG_SANITIZE=ON >/dev/null
    source "$root/scripts/sanitizer-env.sh"
fi
BUILD_DIR="$build" "$root/scripts/build.sh"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 600
