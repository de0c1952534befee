#!/usr/bin/env bash
# Builds and runs the process-list benchmark under Wine on a throwaway prefix and display:
# one "Refresh" of the CPU panel with the running processes plus extra children, against a
# bare snapshot walk measured in the same run. Prints figures and ratios; judges nothing.
# Usage: bench/process_list/run.sh [children] [rounds]     (defaults: 100 and 7)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
jobs=${QUORVANT_JOBS:-2}

log=$(mktemp)
if ! { cmake -S "$root" -B "$root/build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" &&
  cmake --build "$root/build/win64" -j "$jobs" --target process_list_bench; } >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  exit 1
fi
rm -f "$log"
source "$root/scripts/testenv.sh"
QUORVANT_OWN_DISPLAY=1 quorvant_env_start || exit 1
trap quorvant_env_stop EXIT
echo "wine $(wine --version), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
wine "$root/build/win64/bin/process_list_bench.exe" "${1:-100}" "${2:-7}"
