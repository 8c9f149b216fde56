#!/usr/bin/env bash
# Prints the figures of the screens that put messages into the queue.
#   bench/run-compose.sh [build-dir]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
"$build/bench/bench_schedule"
