#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/deps.sh"
BUILD_DIR="$build" "$root/scripts/build.sh"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 600
