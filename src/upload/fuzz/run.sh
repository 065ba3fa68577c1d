#!/usr/bin/env bash
# Builds the upload form parser's fuzz target (CMake option CORKBOARD_FUZZ: clang++, libFuzzer,
# ASan, UBSan) in the fuzz build folder it shares with the markup target, then runs it.
# Usage: src/upload/fuzz/run.sh [seconds=15] [work_dir=build/fuzz]
# New inputs it finds stay in work_dir/corpus-upload; a failing input is written to work_dir/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-15}
out=${2:-$root/build/fuzz}
mkdir -p "$out/corpus-upload"
out=$(cd "$out" && pwd)
if [ ! -f "$out/build/build.ninja" ]; then
  cmake -S "$root" -B "$out/build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    -DCORKBOARD_FUZZ=ON -DCORKBOARD_TESTS=OFF > "$out/configure.log" ||
    { cat "$out/configure.log"; exit 1; }
fi
cmake --build "$out/build" --target upload_fuzz > "$out/build.log" || { cat "$out/build.log"; exit 1; }
cd "$out"
exec "$out/build/upload_fuzz" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
  -print_final_stats=1 -dict="$here/upload.dict" -artifact_prefix="$out/upload-" "$out/corpus-upload" "$here/corpus"
