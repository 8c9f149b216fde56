#!/usr/bin/env bash
# Prints the message flow counts' and the queue view's figures over 1,000,000 q_logs rows, and
# beside them the queueing figures, which the daily counts' triggers must not slow down.
#   bench/run-flow.sh [build-dir]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
"$build/bench/bench_flow"
"$build/bench/bench_queue"
