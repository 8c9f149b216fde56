#!/usr/bin/env bash
# Prints the message flow counts' and the queue view's figures over 1,000,000 q_logs rows.
#   bench/run-flow.sh [build-dir]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
"$build/bench/bench_flow"
