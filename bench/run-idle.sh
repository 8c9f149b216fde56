#!/usr/bin/env bash
# CPU used by the idle program (no ports, no gateway) over a period, as a share of one core.
# usage: run-idle.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=${1:-build}; secs=${2:-30}
tmp=$(mktemp -d); trap 'kill "$pid" 2>/dev/null || true; rm -rf "$tmp"' EXIT
mkdir -m 700 "$tmp/run"
XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=offscreen "$build/tavsms" 2>/dev/null &
pid=$!
sleep 3 # start-up is not idle time
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks); sleep "$secs"; t1=$(ticks)
awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$secs" \
  'BEGIN { printf "idle program: %.2f %% of one core over %d s (goal <= 1 %%)\n", 100 * d / hz / s, s }'
