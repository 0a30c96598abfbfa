#!/usr/bin/env bash
# Benchmarks of the viewer and the reports against the sqlite3 shell (and with
# --postgres on a throw-away PostgreSQL cluster against psql): installs
# what is missing, builds the program and the bench driver (RelWithDebInfo)
# into build-bench/ (or $BUILD_DIR), then runs bench/bench.py with the
# arguments given (see bench/bench.py --help).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"
"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target auditlog auditlog_bench makedemo auditlog-copydb
exec /usr/bin/python3 "$root/bench/bench.py" --build "$build" "$@"
