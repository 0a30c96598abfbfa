#!/usr/bin/env bash
# Installs what is missing, builds, makes a demo database when there is none,
# and starts the viewer on it. The program's installation root is the parent
# of its folder, so build/bin/auditlog reads build/SYSTEM/Audit.mdb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/deps.sh"
BUILD_DIR="$build" "$root/scripts/build.sh"
if [ ! -f "$build/SYSTEM/Audit.mdb" ]; then
    mkdir -p "$build/SYSTEM"
    "$build/bin/makedemo" "$build/SYSTEM/Audit.mdb" "${DEMO_ROWS:-50000}"
fi
exec "$build/bin/auditlog" "$@"
