#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests: `pg_cluster.sh start DIR` creates one in DIR
# (initdb, server on a unix socket in DIR, no TCP), `pg_cluster.sh stop DIR` stops it and removes
# DIR, `restart DIR` restarts it (fast). Connect with postgresql://corkboard@/postgres?host=DIR.
# As root, the server runs as the postgres user (the server refuses root). Without the server
# binaries, start says so and exits 0 without a cluster; the tests then skip.
set -euo pipefail
cmd=${1:?start|restart|stop}
dir=${2:?cluster folder}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1 || true)
as_owner=()
if [ "$(id -u)" -eq 0 ]; then as_owner=(runuser -u postgres --); fi

case "$cmd" in
  start)
    if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
      echo "pg_cluster: no PostgreSQL server binaries; PostgreSQL tests will skip"
      exit 0
    fi
    if [ -f "$dir/data/postmaster.pid" ]; then
      "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    [ ${#as_owner[@]} -gt 0 ] && chown postgres: "$dir"
    "${as_owner[@]}" "$bin/initdb" -D "$dir/data" -U corkboard -A trust -E UTF8 --locale=C \
      --no-sync >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log"; exit 1; }
    # Test data need not survive a crash of the machine: no fsync.
    "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -o \
      "-k $dir -c listen_addresses= -F -c max_connections=200 -c shared_buffers=32MB" start \
      >/dev/null || { cat "$dir/server.log"; exit 1; }
    echo "pg_cluster: started in $dir"
    ;;
  restart)
    # Fast: the sessions of connected clients end at once, as in an operator's restart.
    "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -m fast -w restart \
      >/dev/null || { cat "$dir/server.log"; exit 1; }
    ;;
  stop)
    if [ -n "$bin" ] && [ -f "$dir/data/postmaster.pid" ]; then
      "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null || true
    fi
    rm -rf "$dir"
    ;;
  *) echo "usage: $0 start|restart|stop DIR" >&2; exit 2 ;;
esac
