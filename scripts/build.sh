#!/usr/bin/env bash
# Builds the native tree (portable core + unit tests) and/or the Windows tree (quorvant.exe,
# Win32 and end-to-end tests). Usage: build.sh [native|win64|all]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-all}
jobs=${QUORVANT_JOBS:-$(nproc)}

if [[ $what == native || $what == all ]]; then
  cmake -S "$root" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$root/build/native" -j "$jobs"
fi
if [[ $what == win64 || $what == all ]]; then
  cmake -S "$root" -B "$root/build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$root/build/win64" -j "$jobs"
fi
