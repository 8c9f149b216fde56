#!/usr/bin/env bash
# Prints the sending screens' figures: a group of 100,000 members queued.
#   bench/run-sending.sh [build-dir]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
for i in 1 2 3; do "$build/bench/bench_group_send"; done
