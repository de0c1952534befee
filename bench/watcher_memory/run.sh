#!/usr/bin/env bash
# The watcher's memory while it waits for quorvant.exe, against a bare waiting console
# process, in one Wine session on a throwaway prefix and display. Prints figures and ratios;
# judges nothing.
# Usage: bench/watcher_memory/run.sh [samples] [seconds-between]     (defaults: 5 and 2)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/bench/lib.sh"

bench_build watcher_memory_bench || exit 1
bench_wine_start session || exit 1
wine "$root/build/win64/bin/watcher_memory_bench.exe" "${1:-5}" "${2:-2}"
