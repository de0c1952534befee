#!/usr/bin/env bash
# The watcher of quorvant.exe: wake-ups and CPU while it waits, against a bare hidden window
# in the same session; the time from a kill to every effect given back; the ledger's cost on
# the booster's foreground change. Prints figures and ratios; judges nothing.
# Usage: bench/watcher/run.sh [idle-seconds] [kills] [ticks]     (defaults: 60, 5 and 200)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
idle=${1:-60}
jobs=${QUORVANT_JOBS:-2}

log=$(mktemp)
if ! { cmake -S "$root" -B "$root/build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" &&
  cmake --build "$root/build/win64" -j "$jobs" --target watcher_bench; } >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  exit 1
fi
rm -f "$log"
source "$root/scripts/testenv.sh"
QUORVANT_OWN_DISPLAY=1 quorvant_env_start || exit 1
trap quorvant_env_stop EXIT
echo "wine $(wine --version), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"

declare -A ticks switches
quorvant_sampling_driver "$root/build/win64/bin/watcher_bench.exe" "$idle" "${2:-5}" "${3:-200}" ||
  exit

delta() { # what $1 counted between the two samples of $2, or empty when one is missing
  local -n counts=$1
  local b=${counts[$2.begin]:-} e=${counts[$2.end]:-}
  [[ -n $b && -n $e ]] && echo $((e - b))
}
awk -v idle="$idle" \
  -v wt="$(delta ticks watcher)" -v ft="$(delta ticks floor)" \
  -v ww="$(delta switches watcher)" -v fw="$(delta switches floor)" '
  function perSecond(n) { return n == "" ? "n/a" : sprintf("%.2f", n / idle) }
  function r(q, f) { return (q == "" || f == "" || f == 0) ? "n/a" : sprintf("%.2f", q / f) }
  function t(n) { return n == "" ? "n/a" : n }
  BEGIN {
    printf "Over %d s waiting: watcher %s wake-ups, %s ticks; bare hidden window %s wake-ups, %s ticks\n", idle, t(ww), t(wt), t(fw), t(ft)
    printf "@table watcher: wake-ups a second while waiting|%s /s|%s /s|%s|Linux /proc voluntary switches over %d s, floor a bare hidden window\n", perSecond(ww), perSecond(fw), r(ww, fw), idle
    printf "@table watcher: CPU ticks while waiting|%s ticks|%s ticks|%s|Linux /proc utime+stime over %d s, as above\n", t(wt), t(ft), r(wt, ft), idle
  }'
