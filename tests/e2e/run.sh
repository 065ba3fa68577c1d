#!/usr/bin/env bash
# Runs the browser flows: installs playwright-core from the lock file on first use, then node's
# test runner. CORKBOARD_BIN names the server binary (default build/asan/corkboard).
set -euo pipefail
cd "$(dirname "$0")"
if [ ! -d node_modules/playwright-core ]; then
  npm ci --no-audit --no-fund --loglevel=error
fi
# Every flow of this folder, one at a time: each starts its own server and browser.
exec node --test --test-reporter=spec --test-concurrency=1 *.test.mjs
