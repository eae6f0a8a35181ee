#!/usr/bin/env bash
# cluster.sh start|stop|pause|resume STATE_FILE: a private PostgreSQL cluster on a Unix socket
# for the server tests; its base URI goes into STATE_FILE. Owned by postgres when run as root.
set -euo pipefail
action=${1:?start, stop, pause or resume} state=${2:?state file}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/pg_ctl" ] || { echo "FAIL: no PostgreSQL server (tools/install-deps.sh)" >&2; exit 1; }

as_owner() { if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
cluster_dir() { sed -n 's/^dir=//p' "$state"; }
# fsync off: the tests that kill servers check what PostgreSQL acknowledged to the server,
# not what survives a power cut, and the machine is shared.
start_server() {
    as_owner "$bin/pg_ctl" -D "$1/data" -l "$1/log" -w -t 60 \
        -o "-k $1 -p 5432 -h '' -c fsync=off -c max_connections=200" start >/dev/null ||
        { cat "$1/log" >&2; exit 1; }
}
stop_cluster() {
    [ -f "$state" ] || return 0
    local dir
    dir=$(cluster_dir)
    if [ -d "$dir/data" ]; then
        as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w -t 30 stop >/dev/null 2>&1 || true
    fi
    [ -z "$dir" ] || rm -rf "$dir"
    rm -f "$state"
}

case "$action" in
start)
    stop_cluster
    dir=$(mktemp -d /tmp/orbelle-pg-XXXXXX)
    chmod 755 "$dir"
    [ "$(id -u)" != 0 ] || chown postgres: "$dir"
    echo "dir=$dir" >"$state"
    as_owner "$bin/initdb" -D "$dir/data" -A trust -U postgres >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; exit 1; }
    start_server "$dir"
    printf 'uri=postgresql://postgres@/postgres?host=%s&port=5432\nbin=%s\n' "$dir" "$bin" >>"$state"
    echo "PostgreSQL cluster in $dir"
    ;;
stop) stop_cluster ;;
pause) as_owner "$bin/pg_ctl" -D "$(cluster_dir)/data" -m fast -w -t 60 stop >/dev/null ;;
resume) start_server "$(cluster_dir)" ;;
*) echo "usage: cluster.sh start|stop|pause|resume STATE_FILE" >&2; exit 2 ;;
esac
