#!/usr/bin/env bash
# Prints the paged grid model's figures over 1,000,000 q_logs rows.
#   bench/run-grid.sh [build-dir]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
"$build/bench/bench_grid"
