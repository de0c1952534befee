#!/usr/bin/env bash
# Builds and runs the process-list benchmark under Wine on a throwaway prefix and display:
# one "Refresh" of the CPU panel with the running processes plus extra children, against a
# bare snapshot walk measured in the same run. Prints figures and ratios; judges nothing.
# Usage: bench/process_list/run.sh [children] [rounds]     (defaults: 100 and 7)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/bench/lib.sh"

bench_build process_list_bench || exit 1
bench_wine_start || exit 1
wine "$root/build/win64/bin/process_list_bench.exe" "${1:-100}" "${2:-7}"
