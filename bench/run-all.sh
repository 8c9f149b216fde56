#!/usr/bin/env bash
# Runs every benchmark and prints its figures.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
"$build/bench/bench_queue"
bash bench/idle-cpu.sh "$build" 30
