#!/usr/bin/env bash
# quorvant.exe hidden in the tray after a process it limited has ended: its wake-ups and CPU
# ticks a second, against the same program hidden with no limit ever set, in alternating runs.
# Prints figures and ratios; judges nothing.
# Usage: bench/ended_limit/run.sh [idle-seconds] [rounds]     (defaults: 30 and 2)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
idle=${1:-30}
rounds=${2:-2}
source "$root/bench/lib.sh"

bench_build ended_limit_bench || exit 1
bench_wine_start session || exit 1

declare -A ticks switches
quorvant_sampling_driver "$root/build/win64/bin/ended_limit_bench.exe" "$idle" "$rounds" || exit

# Sums over the rounds of what $1 counted between the samples of label $2<round>.
total() {
  local -n counts=$1
  local sum=0 r b e
  for ((r = 0; r < rounds; r++)); do
    b=${counts[$2$r.begin]:-} e=${counts[$2$r.end]:-}
    [[ -n $b && -n $e ]] || return 0
    sum=$((sum + e - b))
    echo "$2 round $r: $((e - b))" >&2
  done
  echo "$sum"
}
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v seconds="$((idle * rounds))" \
  -v lw="$(total switches limited)" -v fw="$(total switches floor)" \
  -v lt="$(total ticks limited)" -v ft="$(total ticks floor)" '
  function perSecond(n) { return n == "" ? "n/a" : sprintf("%.2f", n / seconds) }
  function r(q, f) {
    if (q == "" || f == "") return "n/a"
    if (f == 0) return q == 0 ? "1.00 (both 0)" : "n/a (floor 0)"
    return sprintf("%.2f", q / f)
  }
  BEGIN {
    printf "Over %d s hidden: after an ended limit %s wake-ups, %s ticks; never limited %s wake-ups, %s ticks\n", seconds, lw, lt, fw, ft
    printf "@table hidden after an ended limit: wake-ups a second|%s /s|%s /s|%s|Linux /proc voluntary switches of quorvant.exe over %d s in alternating runs, floor the same program hidden with no limit ever set; goal 1.0\n", perSecond(lw), perSecond(fw), r(lw, fw), seconds
    printf "@table hidden after an ended limit: CPU ticks|%s ticks|%s ticks|%s|Linux /proc utime+stime, as above\n", lt, ft, r(lt, ft)
  }'
