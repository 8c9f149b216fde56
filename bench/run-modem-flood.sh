#!/usr/bin/env bash
# Peak resident memory of the program while an idle open port receives 10 MB/s.
#   bench/run-modem-flood.sh [build-dir] [seconds]      (default: build, 30)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
"$build/bench/bench_modem_flood" "${2:-30}"
