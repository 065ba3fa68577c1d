#!/usr/bin/env bash
# Checks a systemd unit of deploy/ with systemd-analyze: any complaint (an unknown or misspelt
# key, a bad value) fails. The program path is swapped for one that exists here.
set -euo pipefail
unit=${1:?unit file}
if ! command -v systemd-analyze >/dev/null; then
  echo "verify_unit: no systemd-analyze; skipped"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sed 's#^ExecStart=/usr/local/bin/corkboard #ExecStart=/bin/true #' "$unit" >"$work/$(basename "$unit")"
out=$(SYSTEMD_LOG_LEVEL=warning systemd-analyze verify "$work/$(basename "$unit")" 2>&1 || true)
if [ -n "$out" ]; then
  echo "$out"
  exit 1
fi
echo "verify_unit: $(basename "$unit") passes"
