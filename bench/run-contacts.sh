#!/usr/bin/env bash
# Prints the contacts figures: a 50,000-member spreadsheet imported into a
# group (reads ../shared/fixtures/members-50000.xls), a backup of 100,000 members.
#   bench/run-contacts.sh [build-dir]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
for i in 1 2 3; do "$build/bench/bench_contacts"; done
