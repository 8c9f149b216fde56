#!/usr/bin/env bash
# Prints the proof-of-delivery figures: 100,000 status reports matched
# against 1,000,000 sent parts, and a port's send rate with health reads on
# and off.
#   bench/run-delivery.sh [build-dir]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
for i in 1 2 3; do "$build/bench/bench_delivery"; done
"$build/bench/bench_modem_health" 10 30000 3
"$build/bench/bench_modem_health" 10 1000 3
