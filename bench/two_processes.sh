#!/usr/bin/env bash
# Two board processes behind nginx against one process alone, on one PostgreSQL board: the forum
# index, a topic list and a thread, each for a visitor without cookies and for a signed-in member
# (whose session the processes read from the database). A throwaway cluster (initdb in the work
# folder) holds a small generated board: one forum of 2,000 topics with 10 replies each. The same
# board generated on SQLite is served by one process too, for the comparison of the two backends.
# wrk on loopback, 2 threads, 32 connections.
# Usage: bench/two_processes.sh [seconds per run (default 10)]
# Env: CORKBOARD_BIN (default build/release/corkboard), BENCH_DIR (default build/bench-two).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${CORKBOARD_BIN:-$root/build/release/corkboard}
work=${BENCH_DIR:-$root/build/bench-two}
seconds=${1:-10}
pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
cluster=$work/pg
rm -rf "$work" && mkdir -p "$work/logs"

free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  "$root/tests/support/pg_cluster.sh" stop "$cluster" >/dev/null 2>&1 || true
}
trap cleanup EXIT INT TERM

"$root/tests/support/pg_cluster.sh" start "$cluster" >/dev/null
sql() { "$pgbin/psql" -qAt -h "$cluster" -U corkboard "$@"; }
sql -d postgres -c "CREATE DATABASE bench"
uri="postgresql://corkboard@/bench?host=$cluster"
conf=$work/corkboard.conf
{ cat "$root/config/corkboard.conf"; echo "DataSource.Corkboard = $uri"; } > "$conf"

start_board() {  # port [data folder] [configuration]
  "$bin" serve --listen "127.0.0.1:$1" --data "${2:-$work/data}" --site "$root/site" \
    --config "${3:-$conf}" --quiet > "$work/logs/board-$1.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$1/robots.txt" && return
    sleep 0.1
  done
}
one=$(free_port); two=$(free_port); lb=$(free_port); lb1=$(free_port)
# The first start creates the schema, a catalog with one forum and an administrator.
start_board "$one"
"$bin" user add member pw --data "$work/data" --config "$conf" 2>/dev/null
forum=$(sql -d bench -c "select forumname from forum limit 1")
sql -d bench <<SQL
insert into post (forumname, subject, message, username, posttime, icon)
  select '$forum', '主题 ' || g, '正文 ' || g, 'member', now() - g * interval '1 minute', 1
  from generate_series(1, 2000) g;
insert into post (forumname, subject, message, username, posttime, parentid, icon)
  select '$forum', 'Re', '回复 ' || r, 'member', now(), t.postid, 1
  from (select postid from post) t, generate_series(1, 10) r;
analyze;
SQL
topic=$(sql -d bench -c "select min(postid) from post where parentid is null")
enc_forum=$(/usr/bin/python3 -c 'import sys,urllib.parse; print(urllib.parse.quote(sys.argv[1].encode("gbk")))' "$forum")
start_board "$two"
# The same board on SQLite: its first start seeds the same catalog, forum and administrator, then
# the same member and posts.
mkdir -p "$work/sqlite"
lite=$(free_port)
start_board "$lite" "$work/sqlite" "$root/config/corkboard.conf"
"$bin" user add member pw --data "$work/sqlite" --config "$root/config/corkboard.conf" 2>/dev/null
/usr/bin/python3 - "$work/sqlite/corkboard.db" "$forum" <<'PY'
import datetime, sqlite3, sys
db = sqlite3.connect(sys.argv[1], timeout=30)
forum, now = sys.argv[2], datetime.datetime.now()
at = lambda d: d.strftime('%Y-%m-%d %H:%M:%S')
db.executemany("insert into post (forumname,subject,message,username,posttime,icon) "
               "values (?,?,?,'member',?,1)",
               [(forum, '主题 %d' % g, '正文 %d' % g, at(now - datetime.timedelta(minutes=g)))
                for g in range(1, 2001)])
topics = [r[0] for r in db.execute("select postid from post where parentid is null")]
db.executemany("insert into post (forumname,subject,message,username,posttime,parentid,icon) "
               "values (?,'Re',?,'member',?,?,1)",
               [(forum, '回复 %d' % r, at(now), t) for t in topics for r in range(1, 11)])
db.commit()
PY
lite_topic=$(/usr/bin/python3 -c 'import sqlite3,sys; print(sqlite3.connect(sys.argv[1]).execute("select min(postid) from post where parentid is null").fetchone()[0])' "$work/sqlite/corkboard.db")
cat > "$work/nginx.conf" <<EOF
worker_processes 2;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/logs;
  proxy_temp_path $work/logs;
  fastcgi_temp_path $work/logs;
  uwsgi_temp_path $work/logs;
  scgi_temp_path $work/logs;
  upstream corkboard { server 127.0.0.1:$one; server 127.0.0.1:$two; keepalive 64; }
  upstream corkboard_one { server 127.0.0.1:$one; keepalive 64; }
  server {
    listen 127.0.0.1:$lb;
    location / {
      proxy_pass http://corkboard;
      proxy_http_version 1.1;
      proxy_set_header Connection "";
      proxy_set_header Host \$host:\$server_port;
    }
  }
  server {
    listen 127.0.0.1:$lb1;
    location / {
      proxy_pass http://corkboard_one;
      proxy_http_version 1.1;
      proxy_set_header Connection "";
      proxy_set_header Host \$host:\$server_port;
    }
  }
}
EOF
nginx -c "$work/nginx.conf" -p "$work"

# A signed-in member's session cookie, signed in through the balancer (and on the SQLite board).
sign_in() {  # port
  curl -s -D - -o /dev/null -d "action=login&UserName=member&Password=pw" \
    "http://127.0.0.1:$1/cbkmisc.asp" |
    awk -F'[:;] *' 'tolower($1) == "set-cookie" && $2 ~ /^CBSESSION=/ { print $2 }'
}
member=$(sign_in "$lb")
lite_member=$(sign_in "$lite")

measure() {  # url [cookie]: "requests/s non-2xx-or-3xx errors"
  wrk -t2 -c32 -d"${seconds}s" ${2:+-H "Cookie: $2"} "$1" | awk '
    /^Requests\/sec/ { rps = $2 } /Non-2xx/ { bad = $NF } /Socket errors/ { bad += 0 }
    END { printf "%.0f %d\n", rps, bad }'
}

names=(index list thread)
paths=("default.asp" "list.asp?GroupName=$enc_forum&Page=1" "newsdetail.asp?id=$topic&page=1")
echo "Load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| page | visitor | one process req/s | one behind nginx req/s | two behind nginx req/s | errors | SQLite, one process req/s | PostgreSQL / SQLite |"
echo "|---|---|---|---|---|---|---|---|"
for i in "${!names[@]}"; do
  for who in guest member; do
    jar=""; lite_jar=""
    [ "$who" = member ] && jar=$member && lite_jar=$lite_member
    read -r single _ <<< "$(measure "http://127.0.0.1:$one/${paths[$i]}" "$jar")"
    read -r proxied pbad <<< "$(measure "http://127.0.0.1:$lb1/${paths[$i]}" "$jar")"
    read -r double bad <<< "$(measure "http://127.0.0.1:$lb/${paths[$i]}" "$jar")"
    read -r lone lbad <<< "$(measure "http://127.0.0.1:$lite/${paths[$i]/id=$topic/id=$lite_topic}" "$lite_jar")"
    ratio=$(awk -v a="$single" -v b="$lone" 'BEGIN { printf "%.2f", a / b }')
    echo "| ${names[$i]} | $who | $single | $proxied | $double | $((pbad + bad + lbad)) | $lone | $ratio |"
  done
done
echo
echo "Load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
