#!/usr/bin/env bash
# The cost of applying CPU limits (quorvant.exe's own CPU with three limited processes
# against the same stretch with none, duty-cycle path under Wine) and the accuracy of the
# limits, in one Wine session on a throwaway prefix and display. Prints figures and ratios;
# judges nothing.
# Usage: bench/cpu_limit/run.sh [cost-seconds] [accuracy-seconds]     (defaults: 60 and 10)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cost=${1:-60}
accuracy=${2:-10}

log=$(QUORVANT_JOBS=${QUORVANT_JOBS:-2} "$root/scripts/build.sh" win64 2>&1) || { printf '%s\n' "$log"; exit 1; }
source "$root/scripts/testenv.sh"
QUORVANT_OWN_DISPLAY=1 quorvant_env_start || exit 1
trap quorvant_env_stop EXIT
quorvant_env_start_session "$root/build/win64/bin"
echo "wine $(wine --version), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"

declare -A ticks switches
quorvant_sampling_driver "$root/build/win64/bin/cpu_limit_bench.exe" "$cost" "$accuracy" || exit

delta() { # ticks between the begin and end samples of $1, or empty when one is missing
  local b=${ticks[$1.begin]:-} e=${ticks[$1.end]:-}
  [[ -n $b && -n $e ]] && echo $((e - b))
}
awk -v hz="$(getconf CLK_TCK)" -v secs="$cost" \
  -v np="$(delta quorvant.exe.none)" -v ns="$(delta quorvant.exe.server.none)" \
  -v tp="$(delta quorvant.exe.three)" -v ts="$(delta quorvant.exe.server.three)" '
  function s(t) { return t == "" ? "n/a" : sprintf("%.3f", t / hz) }
  function r(a, b) { return (a == "" || b == "" || b == 0) ? "n/a" : sprintf("%.2f", a / b) }
  function sum(a, b) { return (a == "" || b == "") ? "" : a + b }
  BEGIN {
    # The goal: 1.1 times the run with none, plus 0.2 % of one core per limited process.
    goal = (np == "") ? "n/a" : sprintf("%.3f", (1.1 * np + 3 * 0.002 * secs * hz) / hz)
    printf "CPU seconds of quorvant.exe over %d s each, same run, from Linux /proc:\n", secs
    printf "  %-22s %14s %14s %14s\n", "", "the process", "wineserver", "both"
    printf "  %-22s %14s %14s %14s\n", "no limit", s(np), s(ns), s(sum(np, ns))
    printf "  %-22s %14s %14s %14s\n", "three limited to 30 %", s(tp), s(ts), s(sum(tp, ts))
    printf "  %-22s %14s %14s %14s\n", "ratio", r(tp, np), r(ts, ns), r(sum(tp, ts), sum(np, ns))
    printf "  goal for the process: at most %s s\n", goal
    printf "@table CPU limits: quorvant.exe with three limited|%s s|%s s|%s|Linux /proc over %d s, floor the same program with none limited, duty cycle (Wine)\n", s(tp), s(np), r(tp, np), secs
  }'
