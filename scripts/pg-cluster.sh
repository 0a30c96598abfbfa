#!/usr/bin/env bash
# A throw-away PostgreSQL 15 cluster for tests and benchmarks, from Debian's
# packages: the data folder and the Unix socket both live in DIR, no TCP port
# is opened, and the server runs as an unprivileged user (the "postgres"
# account when started by root, which initdb refuses to run as).
#
#   pg-cluster.sh start DIR [PID]  prints the libpq URI of the cluster's "postgres" database;
#                                  with PID, a watcher stops the server and removes DIR
#                                  once that process is gone (a test that crashed)
#   pg-cluster.sh stop DIR    stops the server (the folder is the caller's to remove)
set -euo pipefail
action="${1:?usage: pg-cluster.sh start|stop DIR}"
dir="$(realpath -m "${2:?usage: pg-cluster.sh start|stop DIR}")"
bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)"
[ -x "$bin/initdb" ] || { echo "pg-cluster.sh: PostgreSQL server binaries not found (install postgresql-15)" >&2; exit 1; }
port=5439

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case "$action" in
start)
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
    if [ ! -f "$dir/data/PG_VERSION" ]; then
        as_owner "$bin/initdb" -D "$dir/data" -U postgres --auth=trust -E UTF8 \
            --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
            { cat "$dir/initdb.log" >&2; exit 1; }
    fi
    # Quick and disposable: no TCP, no durability waits.
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start -o \
        "-k $dir -p $port -c listen_addresses= -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
        >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
    if [ -n "${3:-}" ]; then
        setsid bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done
                        "$2" stop "$3"; rm -rf "$3"' watcher "$3" "$(realpath "$0")" "$dir" \
            </dev/null >/dev/null 2>&1 &
    fi
    echo "postgresql:///postgres?host=$dir&port=$port&user=postgres"
    ;;
stop)
    [ -f "$dir/data/postmaster.pid" ] || exit 0
    as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null
    ;;
*)
    echo "usage: pg-cluster.sh start|stop DIR" >&2; exit 2 ;;
esac
