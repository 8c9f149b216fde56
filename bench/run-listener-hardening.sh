#!/usr/bin/env bash
# Prints the send listener's figures under load and under a flood:
#  - a good client (`ab -c 1`) alone, and beside 500 idle connections (that
#    send nothing) and 3 that send a byte a second, all reopened as soon as
#    the listener closes them; once with the idle ones from other addresses
#    than the good client's, once with 8 of them from its own; then the same
#    with 500 partial connections instead of idle ones (each sends the start
#    of a request and no more, as a slow-loris client does); with the ratio
#    to the figure alone (goal: at least 0.5) and the good client's failed
#    requests;
#  - the listener beside Kannel's sendsms interface at `ab -c 1`, `-c 4` and
#    `-c 16`, in alternating rounds, with the ratio at each concurrency
#    (goal: above 1 at every one). Every request of the listener's runs must
#    be a committed row; bench_listener checks the count and fails otherwise.
# Kannel is started and stopped by the peer script beside the repository:
#   ../shared/peers/kannel-sendsms start DIR | stop DIR
# ab comes from the Debian package apache2-utils, installed when missing.
#
#   bench/run-listener-hardening.sh [build-dir]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
peer=$root/../shared/peers/kannel-sendsms
requests=${REQUESTS:-5000}
rounds=${ROUNDS:-3}

if ! command -v ab >/dev/null; then
  sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends apache2-utils >/dev/null ||
    { "${sudo[@]}" apt-get update -qq && "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends apache2-utils >/dev/null; }
fi
cmake --build "$build" --target bench_listener >/dev/null

work=$(mktemp -d)
cleanup() { [ -x "$peer" ] && "$peer" stop "$work/kannel" >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'; }
rate_of() { sed -n 's/^tavsms listener: \([0-9.]*\) .*/\1/p' <<<"$1"; }
failed_of() { sed -n 's/.*failed requests \([0-9]*\).*/\1/p' <<<"$1"; }

# --- a good client beside a flood -------------------------------------------
declare -A rates failures
for round in $(seq "$rounds"); do
  for scenario in alone idle idle-own partial partial-own; do
    case $scenario in
      alone)       extra=() ;;
      idle)        extra=(--idle 500 --slow 3) ;;
      idle-own)    extra=(--idle 500 --slow 3 --own 8) ;;
      partial)     extra=(--partial 500 --slow 3) ;;
      partial-own) extra=(--partial 500 --slow 3 --own 8) ;;
    esac
    line=$("$build/bench/bench_listener" "$requests" -c 1 "${extra[@]}")
    echo "round $round, $scenario: $line"
    rates[$scenario]+="$(rate_of "$line") "
    failures[$scenario]=$(( ${failures[$scenario]:-0} + $(failed_of "$line") ))
  done
done
alone=$(tr ' ' '\n' <<<"${rates[alone]}" | grep . | median)
echo "good client alone, median of $rounds: $alone requests/s"
for scenario in idle idle-own partial partial-own; do
  rate=$(tr ' ' '\n' <<<"${rates[$scenario]}" | grep . | median)
  case $scenario in
    idle)        what="beside 500 idle (other addresses) and 3 slow" ;;
    idle-own)    what="beside 500 idle (8 from its own address) and 3 slow" ;;
    partial)     what="beside 500 partial (other addresses) and 3 slow" ;;
    partial-own) what="beside 500 partial (8 from its own address) and 3 slow" ;;
  esac
  awk -v r="$rate" -v a="$alone" -v w="$what" -v f="${failures[$scenario]}" -v n="$rounds" \
    'BEGIN { printf "good client %s, median of %d: %s requests/s, %.2f of alone, failed requests in all rounds %d\n", w, n, r, r / a, f }'
done

# --- beside Kannel at three concurrencies -----------------------------------
# Kannel's ports are fixed: wait while another run holds them.
wait_for_kannel_ports() {
  for _ in $(seq 600); do
    ss -ltn | grep -qE '127\.0\.0\.1:(13000|13001|13013|10000)\b' || return 0
    sleep 0.5
  done
  echo "Kannel's ports stay taken" >&2; return 1
}
declare -A kannel listener
for round in $(seq "$rounds"); do
  if [ -x "$peer" ]; then
    wait_for_kannel_ports
    "$peer" start "$work/kannel"
    for c in 1 4 16; do
      ab -q -n "$requests" -c "$c" \
        "http://127.0.0.1:13013/cgi-bin/sendsms?username=bench&password=benchpass&to=9876543210&text=Hello" \
        > "$work/kannel-ab.txt"
      rate=$(sed -n 's/^Requests per second: *\([0-9.]*\).*/\1/p' "$work/kannel-ab.txt")
      kannel[$c]+="$rate "
      echo "round $round: Kannel sendsms: $rate requests/s (ab -n $requests -c $c), failed requests" \
           "$(sed -n 's/^Failed requests: *//p' "$work/kannel-ab.txt")"
    done
    "$peer" stop "$work/kannel"
  fi
  for c in 1 4 16; do
    line=$("$build/bench/bench_listener" "$requests" -c "$c")
    echo "round $round: $line"
    listener[$c]+="$(rate_of "$line") "
  done
done
for c in 1 4 16; do
  l=$(tr ' ' '\n' <<<"${listener[$c]}" | grep . | median)
  if [ -n "${kannel[$c]:-}" ]; then
    k=$(tr ' ' '\n' <<<"${kannel[$c]}" | grep . | median)
    awk -v l="$l" -v k="$k" -v c="$c" -v n="$rounds" \
      'BEGIN { printf "c=%d, median of %d: tavsms listener %s, Kannel sendsms %s requests/s, ratio %.2f\n", c, n, l, k, l / k }'
  else
    echo "c=$c, median of $rounds: tavsms listener $l requests/s (Kannel peer script not found at $peer)"
  fi
done
