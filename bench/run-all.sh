#!/usr/bin/env bash
# Runs every benchmark of the build directory given (default: build) and prints its figures.
set -euo pipefail
build="${1:-build}"
for bench in "$build"/bench/bench_*; do
  [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench"
done
