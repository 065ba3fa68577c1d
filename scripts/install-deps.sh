#!/usr/bin/env bash
# Installs the Debian packages Corkboard builds, tests and runs with. Idempotent: installs only what
# is missing, works as root or through sudo. Usage: install-deps.sh [build|test|bench]
set -euo pipefail
want=(g++ cmake ninja-build ccache make pkg-config libboost-dev libsqlite3-dev libcurl4-openssl-dev
      libgtest-dev libgmock-dev)
if [ "${1:-build}" = test ]; then
  want+=(python3-aiosmtpd clang libclang-rt-14-dev chromium fonts-wqy-microhei
         postgresql libpq-dev wrk nginx)
  # A machine may carry a Node.js build that bundles npm; Debian's npm package would conflict.
  command -v node >/dev/null 2>&1 || want+=(nodejs)
  command -v npm >/dev/null 2>&1 || want+=(npm)
fi
if [ "${1:-build}" = bench ]; then
  want+=(wrk nginx libbenchmark-dev python3)
fi
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
