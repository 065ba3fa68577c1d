#!/usr/bin/env bash
# Installs the Debian packages one mode of Corkboard needs, and only those. Idempotent: installs
# only what is missing, works as root or through sudo. Usage: install-deps.sh [build|test|bench]
#   build  compiler, CMake, Ninja, ccache and the libraries the server links (make run)
#   test   build + GoogleTest, the SMTP sink, clang's libFuzzer, chromium with Chinese fonts and
#          Node.js for the browser flows, PostgreSQL for throwaway test clusters (make test)
#   bench  build + wrk and nginx (page rates), Google Benchmark, curl and python3 (make bench)
set -euo pipefail
mode=${1:-build}
want=(g++ cmake ninja-build ccache make libboost-dev libsqlite3-dev libcurl4-openssl-dev libpq-dev)
case "$mode" in
  build) ;;
  test)
    want+=(libgtest-dev libgmock-dev python3-aiosmtpd clang libclang-rt-14-dev chromium
           fonts-wqy-microhei postgresql postgresql-contrib)
    # A machine may carry a Node.js build that bundles npm; Debian's npm package would conflict.
    command -v node >/dev/null 2>&1 || want+=(nodejs)
    command -v npm >/dev/null 2>&1 || want+=(npm)
    ;;
  bench) want+=(wrk nginx libbenchmark-dev curl python3) ;;
  *) echo "usage: $0 [build|test|bench]" >&2; exit 2 ;;
esac
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
