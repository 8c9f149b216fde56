#!/usr/bin/env bash
# Prints the Internet channels' benchmark figures:
#  - the send listener side by side with Kannel's sendsms interface, both
#    measured by the same client (ApacheBench, `ab -n 5000 -c 1`, a new
#    connection per request), with their ratio;
#  - the gateway sender draining 1,000 due rows into a local fake gateway.
# Kannel is started and stopped by the peer script beside the repository:
#   ../shared/peers/kannel-sendsms start DIR | stop DIR
# (it installs Kannel itself). ab comes from the Debian package apache2-utils,
# installed here when missing.
#
#   bench/run-benchmarks.sh [build-dir]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
peer=$root/../shared/peers/kannel-sendsms
requests=5000

if ! command -v ab >/dev/null; then
  sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends apache2-utils >/dev/null ||
    { "${sudo[@]}" apt-get update -qq && "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends apache2-utils >/dev/null; }
fi
cmake --build "$build" --target bench_listener bench_gateway_drain >/dev/null

work=$(mktemp -d)
cleanup() { [ -x "$peer" ] && "$peer" stop "$work/kannel" >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT

rate_of() { sed -n 's/^Requests per second: *\([0-9.]*\).*/\1/p' "$1"; }

kannel_rate=""
if [ -x "$peer" ]; then
  "$peer" start "$work/kannel"
  ab -q -n "$requests" -c 1 \
    "http://127.0.0.1:13013/cgi-bin/sendsms?username=bench&password=benchpass&to=9876543210&text=Hello" \
    > "$work/kannel-ab.txt"
  kannel_rate=$(rate_of "$work/kannel-ab.txt")
  echo "Kannel sendsms: $kannel_rate requests/s (ab -n $requests -c 1), failed requests" \
       "$(sed -n 's/^Failed requests: *//p' "$work/kannel-ab.txt")"
  "$peer" stop "$work/kannel"
else
  echo "Kannel peer script not found at $peer; listener measured alone"
fi

listener_line=$("$build/bench/bench_listener" "$requests")
echo "$listener_line"
listener_rate=$(sed -n 's/^tavsms listener: \([0-9.]*\) .*/\1/p' <<<"$listener_line")
if [ -n "$kannel_rate" ] && [ -n "$listener_rate" ]; then
  awk -v a="$listener_rate" -v b="$kannel_rate" 'BEGIN { printf "ratio tavsms/Kannel: %.2f\n", a / b }'
fi

"$build/bench/bench_gateway_drain" 1000
