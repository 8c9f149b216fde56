#!/usr/bin/env bash
# CPU used by the idle program (no ports, no gateway) over a period, as a share of one core:
# the window (offscreen) and the service.
# usage: run-idle.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=${1:-build}; secs=${2:-30}
tmp=$(mktemp -d); pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT
mkdir -m 700 "$tmp/run"
hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

measure() { # NAME ARGS...
  local name=$1; shift
  rm -rf "$tmp/data"
  XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=offscreen "$build/tavsms" "$@" >/dev/null 2>&1 &
  pid=$!
  sleep 3 # start-up is not idle time
  local t0 t1
  t0=$(ticks "$pid"); sleep "$secs"; t1=$(ticks "$pid")
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
  awk -v n="$name" -v d=$((t1 - t0)) -v hz="$hz" -v s="$secs" \
    'BEGIN { printf "idle %s: %.2f %% of one core over %d s (goal <= 1 %%)\n", n, 100 * d / hz / s, s }'
}
measure window
measure service --service
