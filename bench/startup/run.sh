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

# utime + stime in clock ticks; the name field may hold spaces, so count from its ')'.
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{ print $12 + $13 }'; }

server=$(quorvant_unix_pid wineserver) || { echo "run.sh: no wineserver for $WINEPREFIX" >&2; exit 1; }
declare -A ticks
coproc DRIVER { wine "$root/build/win64/bin/bench_launch.exe" --runs "$runs" --idle "$idle" --sync; }
# Own copies of the pipe ends and pid: bash drops the coproc's when it ends.
driver_pid=$DRIVER_PID
exec {from_driver}<&"${DRIVER[0]}" {to_driver}>&"${DRIVER[1]}"
while IFS= read -r line <&"$from_driver"; do
  line=${line%$'\r'}
  if [[ $line == "@sample "* ]]; then
    # The driver has just read GetProcessTimes and waits for us to read /proc.
    read -r _ moment exe <<<"$line"
    pid=$(quorvant_unix_pid "$exe") && ticks[$exe.$moment]=$(cpu_ticks "$pid")
    ticks[$exe.server.$moment]=$(cpu_ticks "$server")
    echo ok >&"$to_driver"
  else
    printf '%s\n' "$line"
  fi
done
wait "$driver_pid"
status=$?
exec {from_driver}<&- {to_driver}>&-
((status == 0)) || exit "$status"

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
