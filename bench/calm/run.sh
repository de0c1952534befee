#!/usr/bin/env bash
# The background calm: reaction from a background burner's start to its calming and from its
# stop to its class given back; the effect on a foreground task of fixed work. Prints
# figures and ratios; judges nothing.
# Usage: bench/calm/run.sh [rounds] [effect-rounds]     (defaults: 10 and 4)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
jobs=${QUORVANT_JOBS:-2}

log=$(mktemp)
if ! { cmake -S "$root" -B "$root/build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" &&
  cmake --build "$root/build/win64" -j "$jobs" --target calm_bench; } >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  exit 1
fi
rm -f "$log"
source "$root/scripts/testenv.sh"
QUORVANT_OWN_DISPLAY=1 quorvant_env_start || exit 1
trap quorvant_env_stop EXIT
quorvant_env_start_session "$root/build/win64/bin"
echo "wine $(wine --version), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
wine "$root/build/win64/bin/calm_bench.exe" "${1:-10}" "${2:-4}"
