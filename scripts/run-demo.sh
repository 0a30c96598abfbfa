#!/usr/bin/env bash
# Installs what is missing, builds the program and the demo tool (not the test
# suites), makes a demo database when there is none, and starts the viewer on
# it. The program's installation root is the parent of its folder, so
# build/bin/auditlog reads build/SYSTEM/Audit.mdb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/deps.sh"
if [ ! -x "$build/bin/auditlog" ]; then
    echo "run-demo: first build of auditlog and makedemo; it takes several minutes (6 on a busy two-core machine)." >&2
fi
BUILD_DIR="$build" "$root/scripts/build.sh" auditlog makedemo
if [ ! -f "$build/SYSTEM/Audit.mdb" ]; then
    mkdir -p "$build/SYSTEM"
    # Entries of the last 30 days: the start-up purge keeps them all.
    "$build/bin/makedemo" "$build/SYSTEM/Audit.mdb" "${DEMO_ROWS:-50000}"
fi
exec "$build/bin/auditlog" "$@"
