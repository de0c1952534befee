#!/usr/bin/env bash
# The background calm: its resident cost hidden in the tray, on and off, against a bare
# hidden window; its reaction from a background burner's start to its calming and from its
# stop to its class given back; its effect on a foreground task of fixed work. Prints
# figures and ratios; judges nothing.
# Usage: bench/calm/run.sh [idle-seconds] [rounds] [effect-rounds]     (defaults: 60, 10, 4)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
idle=${1:-60}
source "$root/bench/lib.sh"

bench_build calm_bench || exit 1
bench_wine_start session || exit 1

declare -A ticks switches
quorvant_sampling_driver "$root/build/win64/bin/calm_bench.exe" "$idle" "${2:-10}" "${3:-4}" ||
  exit
((idle > 0)) || exit 0

awk -v hz="$(getconf CLK_TCK)" -v idle="$idle" \
  -v onw="$(bench_delta switches calm-on)" -v ont="$(bench_delta ticks calm-on)" \
  -v offw="$(bench_delta switches calm-off)" -v offt="$(bench_delta ticks calm-off)" \
  -v fonw="$(bench_delta switches floor-on)" -v font="$(bench_delta ticks floor-on)" \
  -v foffw="$(bench_delta switches floor-off)" -v fofft="$(bench_delta ticks floor-off)" \
  -v rw="$(bench_delta switches calm-rules)" -v rt="$(bench_delta ticks calm-rules)" '
  function perSecond(n) { return n == "" ? "n/a" : sprintf("%.2f", n / idle) }
  # Percent of one core.
  function core(t) { return t == "" ? "n/a" : sprintf("%.2f", 100 * t / hz / idle) }
  function r(q, f) { return (q == "" || f == "" || f == 0) ? "n/a" : sprintf("%.2f", q / f) }
  BEGIN {
    printf "Over %d s hidden in the tray, booster off (wake-ups, %% of one core):\n", idle
    printf "  quorvant.exe, calm on:  %s /s, %s %%; bare hidden window meanwhile %s /s, %s %%\n", perSecond(onw), core(ont), perSecond(fonw), core(font)
    printf "  quorvant.exe, calm off: %s /s, %s %%; bare hidden window meanwhile %s /s, %s %%\n", perSecond(offw), core(offt), perSecond(foffw), core(fofft)
    printf "@table calm: wake-ups a second, hidden, calm on|%s /s|%s /s|%s|Linux /proc voluntary switches over %d s, about 200 processes, booster off, floor a bare hidden window meanwhile; goal 1.2 /s\n", perSecond(onw), perSecond(fonw), r(onw, fonw), idle
    printf "@table calm: CPU, hidden, calm on|%s %%|%s %%|%s|%% of one core, Linux /proc utime+stime, as above; goal 0.5 %%\n", core(ont), core(font), r(ont, font)
    printf "@table calm: wake-ups a second, hidden, calm off|%s /s|%s /s|%s|as above with the calm off; goal unchanged (0)\n", perSecond(offw), perSecond(foffw), r(offw, foffw)
    printf "@table calm: CPU, hidden, calm off|%s %%|%s %%|%s|as above with the calm off\n", core(offt), core(fofft), r(offt, fofft)
    printf "  quorvant.exe, calm on with 10 program rules: %s /s, %s %%\n", perSecond(rw), core(rt)
    printf "@table calm: wake-ups a second, hidden, calm on and 10 rules|%s /s|%s /s|%s|as above with 10 program rules, which share the calm walk; floor the calm on alone\n", perSecond(rw), perSecond(onw), r(rw, onw)
    printf "@table calm: CPU, hidden, calm on and 10 rules|%s %%|%s %%|%s|as above, floor the calm on alone\n", core(rt), core(ont), r(rt, ont)
  }'
