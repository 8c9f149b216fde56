#!/usr/bin/env bash
# Prints the message store's figures and the modem channel's (five simulated modems, in
# text mode and in PDU mode).
#   bench/run-core.sh [build-dir]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
"$build/bench/bench_queue"
"$build/bench/bench_modem_rate"
"$build/bench/bench_modem_rate" 30 pdu
"$build/bench/bench_modem_idle"
