#!/usr/bin/env bash
# Runs every benchmark script bench/run-*.sh in turn; each prints its figures.
#   bench/run-all.sh [build-dir]      (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
for script in "$here"/run-*.sh; do
  [ "$(basename "$script")" = run-all.sh ] && continue
  echo "== $(basename "$script" .sh)"
  bash "$script" "$build"
done
