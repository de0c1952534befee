#!/usr/bin/env bash
# Program rules: start to rule applied, the walk's resident cost with 10 rules against none,
# and the release walk with 10 never-trim rules against none. Prints figures and ratios;
# judges nothing.
# Usage: bench/rules/run.sh [starts] [idle-seconds] [extra-processes]   (defaults: 20, 60, 40)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
idle=${2:-60}
source "$root/bench/lib.sh"

bench_build rules_bench || exit 1
bench_wine_start || exit 1

declare -A ticks switches
quorvant_sampling_driver "$root/build/win64/bin/rules_bench.exe" "${1:-20}" "$idle" "${3:-40}" ||
  exit

awk -v idle="$idle" \
  -v rt="$(bench_delta ticks rules)" -v nt="$(bench_delta ticks none)" \
  -v rw="$(bench_delta switches rules)" -v nw="$(bench_delta switches none)" '
  function perSecond(n) { return n == "" ? "n/a" : sprintf("%.2f", n / idle) }
  function perMinute(n) { return n == "" ? "n/a" : sprintf("%.2f", n * 60 / idle) }
  function r(q, f) { return (q == "" || f == "" || f == 0) ? "n/a" : sprintf("%.2f", q / f) }
  BEGIN {
    printf "Over %d s idle: with 10 rules %s wake-ups, %s ticks; with none %s wake-ups, %s ticks\n", idle, rw, rt, nw, nt
    # 100 ticks a second: ticks a minute / 60 is the percent of one core.
    printf "@table rules: wake-ups a second, 10 rules|%s /s|%s /s|%s|Linux /proc voluntary switches of the host over %d s, floor the same host with no rule\n", perSecond(rw), perSecond(nw), r(rw, nw), idle
    printf "@table rules: CPU a minute, 10 rules|%s ticks|%s ticks|%s|Linux /proc utime+stime (100 a second) over %d s as ticks a minute, as above\n", perMinute(rt), perMinute(nt), r(rt, nt), idle
  }'
