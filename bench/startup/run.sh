#!/usr/bin/env bash
# Start-up time, idle CPU and wake-ups of quorvant.exe, shown and hidden in the tray, against
# a bare Win32 window, in one Wine session on a throwaway prefix and display. Prints figures
# and ratios; judges nothing.
# Usage: bench/startup/run.sh [runs] [idle-seconds] [idle-runs]     (defaults: 10, 60 and 3)
# QUORVANT_ONLY_SHOWN_IDLE=1 measures shown idle CPU only (idle-runs pairs of runs).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
runs=${1:-10}
idle=${2:-60}
idle_runs=${3:-3}
only=()
[[ ${QUORVANT_ONLY_SHOWN_IDLE:-} == 1 ]] && only=(--only-shown-idle)

log=$("$root/scripts/build.sh" win64 2>&1) || { printf '%s\n' "$log"; exit 1; }
source "$root/bench/lib.sh"
bench_wine_start || exit 1

declare -A ticks switches
quorvant_sampling_driver "$root/build/win64/bin/bench_launch.exe" --runs "$runs" --idle "$idle" \
  --idle-runs "$idle_runs" "${only[@]}" --sync || exit
echo "load average at the end $(cut -d' ' -f1-3 /proc/loadavg)"

awk -v hz="$(getconf CLK_TCK)" -v idle="$idle" \
  -v fp="$(bench_delta ticks floor-shown)" -v fs="$(bench_delta ticks floor-shown.server)" \
  -v qp="$(bench_delta ticks shown)" -v qs="$(bench_delta ticks shown.server)" \
  -v fhp="$(bench_delta ticks floor-hidden)" -v qhp="$(bench_delta ticks hidden)" \
  -v qfp="$(bench_delta ticks hidden-features)" \
  -v fw="$(bench_delta switches floor-shown)" -v qw="$(bench_delta switches shown)" \
  -v fhw="$(bench_delta switches floor-hidden)" -v qhw="$(bench_delta switches hidden)" \
  -v qfw="$(bench_delta switches hidden-features)" '
  function s(t) { return t == "" ? "n/a" : sprintf("%.3f", t / hz) }
  function perMinute(t) { return t == "" ? "n/a" : sprintf("%.3f", t / hz * 60 / idle) }
  function perSecond(n) { return n == "" ? "n/a" : sprintf("%.2f", n / idle) }
  function r(q, f) { return (q == "" || f == "" || f == 0) ? "n/a" : sprintf("%.2f", q / f) }
  function sum(a, b) { return (a == "" || b == "") ? "" : a + b }
  BEGIN {
    printf "Idle CPU seconds over %d s each, same intervals, from Linux /proc (utime+stime), the first pair shown:\n", idle
    printf "  %-20s %16s %16s %16s\n", "", "the process", "wineserver", "both"
    printf "  %-20s %16s %16s %16s\n", "floor_window.exe", s(fp), s(fs), s(sum(fp, fs))
    printf "  %-20s %16s %16s %16s\n", "quorvant.exe", s(qp), s(qs), s(sum(qp, qs))
    printf "  %-20s %16s %16s %16s\n", "ratio quorvant/floor", r(qp, fp), r(qs, fs), r(sum(qp, qs), sum(fp, fs))
    printf "Wake-ups a second (voluntary context switches, all threads) and CPU seconds a minute:\n"
    printf "  %-36s %10s %10s\n", "", "wake-ups/s", "CPU s/min"
    printf "  %-36s %10s %10s\n", "floor, shown, five timers", perSecond(fw), perMinute(fp)
    printf "  %-36s %10s %10s\n", "quorvant, shown", perSecond(qw), perMinute(qp)
    printf "  %-36s %10s %10s\n", "floor, hidden, no timer", perSecond(fhw), perMinute(fhp)
    printf "  %-36s %10s %10s\n", "quorvant, in the tray", perSecond(qhw), perMinute(qhp)
    printf "  %-36s %10s %10s\n", "quorvant, in the tray, booster+release", perSecond(qfw), perMinute(qfp)
    printf "@table start-up: idle CPU shown, process + wineserver|%s s|%s s|%s|Linux /proc over %d s idle (the first pair), floor a bare window with the same five timers\n", s(sum(qp, qs)), s(sum(fp, fs)), r(sum(qp, qs), sum(fp, fs)), idle
    printf "@table tray: wake-ups a second, hidden|%s /s|%s /s|%s|Linux /proc over %d s, booster and automatic release off, floor a bare hidden window\n", perSecond(qhw), perSecond(fhw), r(qhw, fhw), idle
    printf "@table tray: CPU a minute, hidden|%s s|%s s|%s|Linux /proc utime+stime over %d s, as above\n", perMinute(qhp), perMinute(fhp), r(qhp, fhp), idle
    printf "@table tray: wake-ups a second, hidden, booster + release|%s /s|%s /s|%s|booster High, automatic release every minute, floor a bare hidden window\n", perSecond(qfw), perSecond(fhw), r(qfw, fhw)
  }'
