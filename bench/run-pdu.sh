#!/usr/bin/env bash
# Prints the SMS PDU codec's figures: 100,000 mixed messages encoded and decoded.
#   bench/run-pdu.sh [build-dir]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
"$build/bench/bench_pdu"
