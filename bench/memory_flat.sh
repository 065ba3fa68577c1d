#!/usr/bin/env bash
# Memory under a cookie-less flood: resident memory of the board after a warm-up and again after
# 200,000 more front-page requests from visitors that never send a cookie back. Flat means the
# second figure is within 10% of the first.
# Usage: bench/memory_flat.sh [requests (default 200000)]
# Env: CORKBOARD_BIN (default build/release/corkboard), BENCH_DIR (default build/bench-memory).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${CORKBOARD_BIN:-$root/build/release/corkboard}
work=${BENCH_DIR:-$root/build/bench-memory}
requests=${1:-200000}

rm -rf "$work" && mkdir -p "$work/data"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$bin" serve --listen "127.0.0.1:$port" --data "$work/data" --site "$root/site" \
  --config "$root/config/corkboard.conf" --quiet > "$work/server.log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/robots.txt" && break
  sleep 0.1
done

url="http://127.0.0.1:$port/default.asp"
rss() { awk '/VmRSS/ { print $2 }' "/proc/$pid/status"; }
# wrk runs until the total reaches the count; it sends no cookie and ignores those it is given.
flood() {
  local total=0 n
  while [ "$total" -lt "$1" ]; do
    n=$(wrk -t2 -c32 -d3s "$url" | awk '/requests in/ { print $1 }')
    total=$((total + n))
  done
  echo "$total"
}

# A short warm-up at the same 32 connections: the worker threads' allocator arenas and the
# connections' buffers grow once, in the first second (about 2 MB); what follows must not.
warm=$(wrk -t2 -c32 -d2s "$url" | awk '/requests in/ { print $1 }')
start=$(rss)
sent=$(flood "$requests")
end=$(rss)
awk -v s="$start" -v e="$end" -v w="$warm" -v n="$sent" -v h="$(awk '/VmHWM/ { print $2 }' /proc/$pid/status)" 'BEGIN {
  printf "resident memory after %d warm-up requests: %.1f MB\n", w, s / 1024
  printf "after %d more cookie-less front-page requests: %.1f MB (%+.1f%%), peak %.1f MB\n",
         n, e / 1024, (e - s) * 100 / s, h / 1024
  exit (e > s * 1.10) }'
