#!/usr/bin/env bash
# Builds the markup converter benchmark (-O2, Google Benchmark from libbenchmark-dev) and runs it.
# Usage: bench/markup_bench.sh [benchmark options, e.g. --benchmark_repetitions=5]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/bench
mkdir -p "$out"
g++ -std=c++20 -O2 -DNDEBUG -Wall -Wextra -Werror -I"$root/src" "$root/src/markup/bench/markup_bench.cpp" \
  "$root/src/markup/markup.cpp" -lbenchmark -lpthread -o "$out/markup_bench"
exec "$out/markup_bench" "$@"
