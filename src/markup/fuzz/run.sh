#!/usr/bin/env bash
# Builds the markup converter's fuzz target with clang (libFuzzer, ASan, UBSan) and runs it.
# Usage: src/markup/fuzz/run.sh [seconds=20] [build_dir=build/fuzz]   e.g. src/markup/fuzz/run.sh 600
# New inputs it finds stay in build_dir/corpus; a failing input is written to build_dir/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-20}
out=${2:-$root/build/fuzz}
mkdir -p "$out/corpus"
bin=$out/markup_fuzz
sources=("$here/markup_fuzz.cpp" "$root/src/markup/markup.cpp" "$root/src/runtime/gbk.cpp")
if [ ! -x "$bin" ] || [ -n "$(find "${sources[@]}" "$here/markup_invariants.h" "$root/src/markup/markup.h" -newer "$bin")" ]; then
  clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/src" -I"$root/tests" "${sources[@]}" -o "$bin.tmp"
  mv "$bin.tmp" "$bin"
fi
cd "$out"
exec "$bin" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
  -dict="$here/markup.dict" -artifact_prefix="$out/" "$out/corpus" "$here/corpus"
