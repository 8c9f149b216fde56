#!/usr/bin/env bash
# Prints the shared PostgreSQL store's figures beside the keyed file's, each on a
# throw-away server with the server's default durability (fsync and synchronous_commit on):
#  - 50 claimers (10 workstations of 5 ports, a connection each) taking a 50,000-row queue
#    with takeNextForPort and marking each delivered: claims/s and rows claimed twice (goal
#    at least 5,000 claims/s, none twice); beside it one connection of the file taking it;
#  - a group of 100,000 members queued from the group screen's logic (goal at most 2 s);
#  - the listener of the real program (tavsms --service --store URL) at `ab -c 16`, rounds
#    alternating with the program on the file (goal at least 2,000 committed requests/s).
# ab comes from the Debian package apache2-utils, installed here when missing.
#
#   bench/run-shared-store.sh [build-dir]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}

if ! command -v ab >/dev/null; then
  sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends apache2-utils >/dev/null ||
    { "${sudo[@]}" apt-get update -qq && "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends apache2-utils >/dev/null; }
fi
cmake --build "$build" --target bench_shared_store bench_shared_listener >/dev/null

"$build/bench/bench_shared_store" 50000 50 100000
"$build/bench/bench_shared_listener" 5000 16 "${ROUNDS:-3}"
