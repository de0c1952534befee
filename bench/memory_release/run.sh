#!/usr/bin/env bash
# Builds and runs the memory-release walk benchmark under Wine on a throwaway prefix.
# Prints figures and the ratio; judges nothing.
# Usage: bench/memory_release/run.sh [children] [rounds]     (defaults: 100 and 15)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
children=${1:-100}
rounds=${2:-15}

log=$("$root/scripts/build.sh" win64 2>&1) || { printf '%s\n' "$log"; exit 1; }
source "$root/scripts/testenv.sh"
QUORVANT_OWN_DISPLAY=1 quorvant_env_start || exit 1
trap quorvant_env_stop EXIT
echo "wine $(wine --version), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
wine "$root/build/win64/bin/memory_release_bench.exe" --children "$children" --rounds "$rounds"
