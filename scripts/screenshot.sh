#!/usr/bin/env bash
# Takes the README's picture of the main window under a virtual display,
# with a fresh data directory so no operator data shows.
# usage: screenshot.sh BUILD_DIR OUT.png
set -euo pipefail
build=${1:-build}; out=${2:-docs/main-window.png}
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
mkdir -m 700 "$tmp/run"
XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/run" \
  xvfb-run -a -s "-screen 0 1280x800x24" "$build/tools/tavsms-screenshot" "$out"
