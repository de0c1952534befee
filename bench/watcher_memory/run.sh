#!/usr/bin/env bash
# The watcher's memory while it waits for quorvant.exe, against a bare waiting console
# process, in one Wine session on a throwaway prefix and display. Prints figures and ratios;
# judges nothing.
# Usage: bench/watcher_memory/run.sh [samples] [seconds-between]     (defaults: 5 and 2)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
jobs=${QUORVANT_JOBS:-2}

log=$(mktemp)
if ! { cmake -S "$root" -B "$root/build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" &&
  cmake --build "$root/build/win64" -j "$jobs" --target watcher_memory_bench; } >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  exit 1
fi
rm -f "$log"
source "$root/scripts/testenv.sh"
QUORVANT_OWN_DISPLAY=1 quorvant_env_start || exit 1
trap quorvant_env_stop EXIT
echo "wine $(wine --version), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
quorvant_env_start_session "$root/build/win64/bin" || exit 1
wine "$root/build/win64/bin/watcher_memory_bench.exe" "${1:-5}" "${2:-2}"
