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
# The mail case's fast loopback server: postfix's smtp-sink, unpacked from the
# package into the build folder (nothing installed, no MTA started). Without it
# the mail case runs against aiosmtpd alone.
if [ ! -x "$build/smtp-sink/usr/sbin/smtp-sink" ]; then
    fetch="$(mktemp -d)"
    if (cd "$fetch" && apt-get download postfix >/dev/null 2>&1); then
        dpkg -x "$fetch"/postfix_*.deb "$build/smtp-sink"
    else
        echo "bench.sh: could not fetch postfix's smtp-sink; the mail case uses aiosmtpd only" >&2
    fi
    rm -rf "$fetch"
fi
exec /usr/bin/python3 "$root/bench/bench.py" --build "$build" "$@"
