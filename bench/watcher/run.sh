#!/usr/bin/env bash
# The watcher of quorvant.exe: wake-ups and CPU while it waits, against a bare hidden window
# in the same session; the time from a kill to every effect given back; the ledger's cost on
# the booster's foreground change. Prints figures and ratios; judges nothing.
# Usage: bench/watcher/run.sh [idle-seconds] [kills] [ticks]     (defaults: 60, 5 and 200)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
idle=${1:-60}
source "$root/bench/lib.sh"

bench_build watcher_bench || exit 1
bench_wine_start || exit 1

declare -A ticks switches
quorvant_sampling_driver "$root/build/win64/bin/watcher_bench.exe" "$idle" "${2:-5}" "${3:-200}" ||
  exit

awk -v idle="$idle" \
  -v wt="$(bench_delta ticks watcher)" -v ft="$(bench_delta ticks floor)" \
  -v ww="$(bench_delta switches watcher)" -v fw="$(bench_delta switches floor)" '
  function perSecond(n) { return n == "" ? "n/a" : sprintf("%.2f", n / idle) }
  function r(q, f) { return (q == "" || f == "" || f == 0) ? "n/a" : sprintf("%.2f", q / f) }
  function t(n) { return n == "" ? "n/a" : n }
  BEGIN {
    printf "Over %d s waiting: watcher %s wake-ups, %s ticks; bare hidden window %s wake-ups, %s ticks\n", idle, t(ww), t(wt), t(fw), t(ft)
    printf "@table watcher: wake-ups a second while waiting|%s /s|%s /s|%s|Linux /proc voluntary switches over %d s, floor a bare hidden window\n", perSecond(ww), perSecond(fw), r(ww, fw), idle
    printf "@table watcher: CPU ticks while waiting|%s ticks|%s ticks|%s|Linux /proc utime+stime over %d s, as above\n", t(wt), t(ft), r(wt, ft), idle
  }'
