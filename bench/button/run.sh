#!/usr/bin/env bash
# Builds and runs the button benchmark twice: natively on the raster canvas (optimised, no
# sanitizers) and cross-built with GDI under Wine. Prints time per DrawButton and its
# ratio to a plain fill of the same area measured in the same run.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
jobs=${QUORVANT_JOBS:-2}

cmake -S "$root" -B "$root/build/bench-native" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQUORVANT_SANITIZE=OFF >/dev/null
cmake --build "$root/build/bench-native" -j "$jobs" --target button_bench >/dev/null
cmake -S "$root" -B "$root/build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$root/build/win64" -j "$jobs" --target button_bench >/dev/null

"$root/build/bench-native/bin/button_bench"

# GDI needs a Wine prefix; without a test environment, a throwaway one is made here.
source "$root/scripts/testenv.sh"
if [[ -z ${QUORVANT_TESTENV:-} ]]; then
  quorvant_env_start || exit 1
  trap quorvant_env_stop EXIT
fi
wine "$root/build/win64/bin/button_bench.exe"
