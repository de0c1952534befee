#!/usr/bin/env bash
# Start-up time and idle CPU of quorvant.exe against a bare Win32 window, in one Wine
# session on a throwaway prefix and display. Prints figures and ratios; judges nothing.
# Usage: bench/startup/run.sh [runs] [idle-seconds]     (defaults: 10 and 60)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
runs=${1:-10}
idle=${2:-60}

log=$("$root/scripts/build.sh" win64 2>&1) || { printf '%s\n' "$log"; exit 1; }
source "$root/scripts/testenv.sh"
QUORVANT_OWN_DISPLAY=1 quorvant_env_start || exit 1
trap quorvant_env_stop EXIT
echo "wine $(wine --version), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"

declare -A ticks
quorvant_sampling_driver "$root/build/win64/bin/bench_launch.exe" --runs "$runs" --idle "$idle" --sync || exit

delta() { # ticks used between the two samples of $1, or empty when one is missing
  local b=${ticks[$1.begin]:-} e=${ticks[$1.end]:-}
  [[ -n $b && -n $e ]] && echo $((e - b))
}
awk -v hz="$(getconf CLK_TCK)" -v idle="$idle" \
  -v fp="$(delta floor_window.exe)" -v fs="$(delta floor_window.exe.server)" \
  -v qp="$(delta quorvant.exe)" -v qs="$(delta quorvant.exe.server)" '
  function s(t) { return t == "" ? "n/a" : sprintf("%.3f", t / hz) }
  function r(q, f) { return (q == "" || f == "" || f == 0) ? "n/a" : sprintf("%.2f", q / f) }
  function sum(a, b) { return (a == "" || b == "") ? "" : a + b }
  BEGIN {
    printf "Idle CPU seconds over %d s each, same intervals, from Linux /proc (utime+stime):\n", idle
    printf "  %-20s %16s %16s %16s\n", "", "the process", "wineserver", "both"
    printf "  %-20s %16s %16s %16s\n", "floor_window.exe", s(fp), s(fs), s(sum(fp, fs))
    printf "  %-20s %16s %16s %16s\n", "quorvant.exe", s(qp), s(qs), s(sum(qp, qs))
    printf "  %-20s %16s %16s %16s\n", "ratio quorvant/floor", r(qp, fp), r(qs, fs), r(sum(qp, qs), sum(fp, fs))
    printf "@table start-up: idle CPU, process + wineserver|%s s|%s s|%s|Linux /proc over %d s idle, floor a bare window with the same five timers\n", s(sum(qp, qs)), s(sum(fp, fs)), r(sum(qp, qs), sum(fp, fs)), idle
  }'
