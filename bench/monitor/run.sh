#!/usr/bin/env bash
# Builds and runs the monitor benchmark: natively (release, no sanitizers) on the raster
# canvas, then the Windows build under Wine with the system's readings and GDI.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
jobs=${QUORVANT_JOBS:-2}

# Quiet unless the build fails.
build() {
  local log
  log=$(mktemp)
  if ! { cmake -S "$root" -B "$@" && cmake --build "$1" -j "$jobs" --target monitor_bench; } \
    >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

build "$root/build/bench-native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANT_SANITIZE=OFF
"$root/build/bench-native/bin/monitor_bench"

build "$root/build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
source "$root/scripts/testenv.sh"
quorvant_env_start || exit 1
trap quorvant_env_stop EXIT
wine "$root/build/win64/bin/monitor_bench.exe"
