#!/usr/bin/env bash
# Prints the Internet channels' benchmark figures:
#  - the send listener side by side with Kannel's sendsms interface, both
#    measured by the same client (ApacheBench, `ab -n 5000 -c 1`, a new
#    connection per request), with their ratio;
#  - the gateway sender draining 1,000 due rows into a local fake gateway:
#    answered at once, and after a 50 ms round trip one at a time (N = 1,
#    measured on 200 rows and scaled) and with 8 and 32 requests in flight,
#    with the TCP connections each opened;
#  - the program killed (SIGKILL) ten times during such a drain (N = 8, 50 ms):
#    per kill, the requests the gateway held unanswered and the messages sent
#    again after it.
# Kannel is started and stopped by the peer script beside the repository:
#   ../shared/peers/kannel-sendsms start DIR | stop DIR
# (it installs Kannel itself). ab comes from the Debian package apache2-utils,
# installed here when missing.
#
#   bench/run-internet.sh [build-dir]      (default: build)
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
cmake --build "$build" --target bench_listener bench_gateway_drain bench_gateway_kill >/dev/null

work=$(mktemp -d)
cleanup() { [ -x "$peer" ] && "$peer" stop "$work/kannel" >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT

rate_of() { sed -n 's/^Requests per second: *\([0-9.]*\).*/\1/p' "$1"; }
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'; }

# Rounds alternate between the two, so that whatever else the machine is
# doing weighs on both alike; each peer is alone while it is measured.
rounds=${ROUNDS:-3}
kannel_rates=(); listener_rates=()
for round in $(seq "$rounds"); do
  if [ -x "$peer" ]; then
    "$peer" start "$work/kannel"
    ab -q -n "$requests" -c 1 \
      "http://127.0.0.1:13013/cgi-bin/sendsms?username=bench&password=benchpass&to=9876543210&text=Hello" \
      > "$work/kannel-ab.txt"
    "$peer" stop "$work/kannel"
    rate=$(rate_of "$work/kannel-ab.txt")
    kannel_rates+=("$rate")
    echo "round $round: Kannel sendsms: $rate requests/s (ab -n $requests -c 1), failed requests" \
         "$(sed -n 's/^Failed requests: *//p' "$work/kannel-ab.txt")"
  fi
  line=$("$build/bench/bench_listener" "$requests")
  echo "round $round: $line"
  listener_rates+=("$(sed -n 's/^tavsms listener: \([0-9.]*\) .*/\1/p' <<<"$line")")
done

listener_rate=$(printf '%s\n' "${listener_rates[@]}" | median)
echo "tavsms listener, median of $rounds: $listener_rate requests/s"
if [ ${#kannel_rates[@]} -gt 0 ]; then
  kannel_rate=$(printf '%s\n' "${kannel_rates[@]}" | median)
  echo "Kannel sendsms, median of $rounds: $kannel_rate requests/s"
  awk -v a="$listener_rate" -v b="$kannel_rate" 'BEGIN { printf "ratio tavsms/Kannel: %.2f\n", a / b }'
else
  echo "Kannel peer script not found at $peer; listener measured alone"
fi

"$build/bench/bench_gateway_drain" 1000 200 50
"$build/bench/bench_gateway_kill" 2000 10 50 8
