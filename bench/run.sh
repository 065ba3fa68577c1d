#!/usr/bin/env bash
# Page benchmark: the forum index, page 1 and a deep page of the large forum's topic list, page 1
# and the last page of the 10,000-reply thread, the digests, today's topics, a member's posts and
# searches by word, each against nginx serving a static file of the same bytes in the same run.
# wrk on loopback, 2 threads, 32 connections. Then the single-request latency of the searches
# (one request at a time), from a word found once to one in half of all posts.
# The archive pages read a copy of that thread in an archive.
# Usage: bench/run.sh [seconds per run (default 10)]
# Env: CORKBOARD_BIN (default build/release/corkboard), BENCH_DIR (default build/bench-board).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${CORKBOARD_BIN:-$root/build/release/corkboard}
work=${BENCH_DIR:-$root/build/bench-board}
seconds=${1:-10}
data=$work/data
conf=$root/config/corkboard.conf

# The board is generated once (about ten minutes) and reused.
if [ ! -s "$work/board.txt" ]; then
  rm -rf "$data" && mkdir -p "$data"
  "$bin" user add benchadmin benchpw --role administrator --data "$data" --config "$conf"
  /usr/bin/python3 "$root/bench/make_board.py" "$data/corkboard.db" > "$work/board.txt.new"
  mv "$work/board.txt.new" "$work/board.txt"
fi
read -r big forum < "$work/board.txt"
# The archive pages read a copy of the big thread in an archive of its own (made once).
/usr/bin/python3 - "$data/corkboard.db" "$big" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
if db.execute("select count(*) from archive").fetchone()[0] == 0:
    db.execute("insert into archive (archivename, descript) values ('精华', 'bench')")
    db.execute("insert into archivelist (archiveid,postid,parentid,forumname,username,posttime,"
               "message,subject,usesign,status,edithistory,hits,icon,emailnotification,ip) "
               "select 1,postid,parentid,forumname,username,posttime,message,subject,usesign,"
               "status,edithistory,hits,icon,emailnotification,ip from post "
               "where postid=?1 or parentid=?1", (int(sys.argv[2]),))
    db.commit()
PY
gbk() { /usr/bin/python3 -c 'import sys,urllib.parse; print(urllib.parse.quote(sys.argv[1].encode("gbk")))' "$1"; }
enc_forum=$(gbk "$forum")
# A simple search for a word in subjects and messages of every forum and archive (as the form
# posts it; the page takes it by GET too).
search() {
  echo "search.asp?action=simplesearch&SearchTerms=$(gbk "$1")&BooleanAND=YES&ForumChoice=ALL&SearchIn=ALL&SearchDate=ALL&SearchUser=&ExactName=no"
}

free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port)
nginx_port=$(free_port)
static=$work/static
rm -rf "$static" && mkdir -p "$static/logs"

"$bin" serve --listen "127.0.0.1:$port" --data "$data" --site "$root/site" --config "$conf" \
  --quiet > "$work/server.log" 2>&1 &
board_pid=$!
cat > "$static/nginx.conf" <<EOF
worker_processes auto;
pid $static/nginx.pid;
error_log $static/logs/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 1000000;
  client_body_temp_path $static/logs;
  proxy_temp_path $static/logs;
  fastcgi_temp_path $static/logs;
  uwsgi_temp_path $static/logs;
  scgi_temp_path $static/logs;
  server { listen 127.0.0.1:$nginx_port; root $static; }
}
EOF
nginx -c "$static/nginx.conf" -p "$static"
cleanup() {
  kill "$board_pid" 2>/dev/null || true
  [ -f "$static/nginx.pid" ] && kill "$(cat "$static/nginx.pid")" 2>/dev/null || true
}
trap cleanup EXIT

for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/robots.txt" && break
  sleep 0.1
done

names=(index list_page1 list_deep thread_page1 thread_last members members_deep members_search
  member_view hot morereply active top today member_posts search_rare search_1600
  archive_list archive_thread archive_last)
paths=(
  "default.asp"
  "list.asp?GroupName=$enc_forum&DaysPrune=0&Page=1"
  "list.asp?GroupName=$enc_forum&DaysPrune=0&Page=900"
  "newsdetail.asp?id=$big&page=1"
  "newsdetail.asp?id=$big&page=1001"
  "member.asp"
  "member.asp?page=200"
  "member.asp?searchBy=UserName&key=user01"
  "viewuser.asp?userName=user0001"
  "hot.asp"
  "morereply.asp"
  "active.asp"
  "top.asp"
  "search.asp?action=getdaily"
  "search.asp?action=searchuser&username=user0042"
  "$(search 一万个回复)"
  "$(search 不错今天天气)"
  "archivelist.asp?ArchiveID=1"
  "archivecontent.asp?id=$big&page=1"
  "archivecontent.asp?id=$big&page=1001"
)

# One visitor's cookies (its session and the board's visit cookies), from a first front page.
cookie=$(curl -s -D - -o /dev/null "http://127.0.0.1:$port/default.asp" |
  awk -F'[:;] *' 'tolower($1) == "set-cookie" { printf "%s%s", sep, $2; sep = "; " }')

# One wrk run: "requests/s p50 p99" (latencies in ms); with a second argument, that Cookie header.
measure() {
  wrk -t2 -c32 -d"${seconds}s" --latency ${2:+-H "Cookie: $2"} "$1" | awk '
    function ms(v) { if (v ~ /us$/) return v / 1000; if (v ~ /ms$/) return v + 0;
                     if (v ~ /s$/) return v * 1000; return v }
    /^ +50%/ { p50 = ms($2) } /^ +99%/ { p99 = ms($2) } /^Requests\/sec/ { rps = $2 }
    END { printf "%.0f %.2f %.2f\n", rps, p50, p99 }'
}

for jar in "$cookie" ""; do
echo
echo "Visitor: ${jar:+one session cookie}${jar:-no cookies}"
echo
echo "| page | bytes | req/s | p50 ms | p99 ms | nginx req/s | nginx p50 ms | nginx p99 ms | ratio |"
echo "|---|---|---|---|---|---|---|---|---|"
for i in "${!names[@]}"; do
  url="http://127.0.0.1:$port/${paths[$i]}"
  curl -s ${jar:+-H "Cookie: $jar"} -o "$static/${names[$i]}.html" "$url"
  bytes=$(stat -c %s "$static/${names[$i]}.html")
  read -r rps p50 p99 <<< "$(measure "$url" "$jar")"
  read -r nrps np50 np99 <<< "$(measure "http://127.0.0.1:$nginx_port/${names[$i]}.html")"
  ratio=$(awk -v a="$rps" -v b="$nrps" 'BEGIN { printf "%.2f", a / b }')
  echo "| ${names[$i]} | $bytes | $rps | $p50 | $p99 | $nrps | $np50 | $np99 | $ratio |"
done
done

# One request at a time: the time to the last byte of a search's first page, median and worst of
# five, by how many posts hold the word (the generator writes 20 words, so two-word phrases are
# rare and three-character words are everywhere).
echo
echo "| search (first page) | posts found | median ms | worst ms |"
echo "|---|---|---|---|"
latency() {
  local times=()
  for _ in 1 2 3 4 5; do
    times+=("$(curl -s -o /dev/null -w '%{time_total}' "http://127.0.0.1:$port/$1")")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 * 1000 } END { printf "%.0f %.0f\n", t[3], t[5] }'
}
# Posts holding each word on the generated board (its random generator is seeded).
for spec in "一万个回复 1" "不错今天天气 1,596" "天气不错 34,786" "有意思 542,262"; do
  read -r word found <<< "$spec"
  read -r med worst <<< "$(latency "$(search "$word")")"
  echo "| word $word | $found | $med | $worst |"
done
read -r med worst <<< "$(latency "search.asp?action=searchuser&username=user0042")"
echo "| member user0042 | 216 | $med | $worst |"

echo
echo "Peak memory of the board server (VmHWM): $(awk '/VmHWM/ { printf "%.0f MB", $2 / 1024 }' /proc/$board_pid/status)"
