#!/usr/bin/env bash
# Prints the report figures: a 10,000-row report saved as PDF, and the first
# page of a 100,000-row report in the report window.
#   bench/run-reports.sh [build-dir]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
for i in 1 2 3; do QT_QPA_PLATFORM=offscreen "$build/bench/bench_reports"; done
