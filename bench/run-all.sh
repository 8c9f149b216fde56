#!/usr/bin/env bash
# Runs every benchmark (the bench_* programs of the build directory, then the
# bench scripts) and prints its figures.
# usage: run-all.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
for bench in "$build"/bench/bench_*; do
  [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench"
done
for script in bench/*.sh; do
  [ "$(basename "$script")" = run-all.sh ] && continue
  echo "== $(basename "$script")"
  bash "$script" "$build"
done
