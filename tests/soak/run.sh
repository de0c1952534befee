#!/usr/bin/env bash
# A long run of quorvant.exe with every feature on: the booster at "High" with windows of two
# other processes taking turns in front every few seconds, the automatic release every
# minute, "Refresh" of the CPU panel every minute, the status panel visible. Samples the
# program's memory and the Wine server's every minute from Linux /proc and ends with a
# verdict. Not part of the test run: bash tests/soak/run.sh [minutes] (default 30).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
minutes=${1:-30}
switch_seconds=3
refresh_seconds=60
# Growth allowed between the sample after the first five minutes (the first minute of a
# short run) and the last: the logs' rows cost some kilobytes; a leak of a handle or drawing
# object per tick costs far more.
allowed_program_kb=4096
allowed_server_kb=2048

log=$("$root/scripts/build.sh" win64 2>&1) || { printf '%s\n' "$log"; exit 1; }
source "$root/scripts/testenv.sh"
QUORVANT_OWN_DISPLAY=1 quorvant_env_start || exit 1
folder=$(mktemp -d "/tmp/quorvant soak.XXXXXX")
trap 'quorvant_env_stop; rm -rf "$folder"' EXIT
bin="$root/build/win64/bin"
quorvant_env_start_session "$bin"

cp "$bin/quorvant.exe" "$bin/quorvant_watcher.exe" "$bin/ico.ico" "$folder/"
printf '[Process]\r\nEnableImproveProcess=1\r\nImproveSpeed=High\r\n[Memory]\r\nEnableFreeMemory=1\r\nAutoFreeMemoryInterval=1 minute\r\n' \
  >"$folder/Config.ini"

kb() { awk -v k="$2" '$1 == k":" { print $2 }' "/proc/$1/status" 2>/dev/null; }

echo "soak: wine $(wine --version), $(nproc) cores, $minutes minutes"
wine "$folder/quorvant.exe" </dev/null >/dev/null 2>&1 &
for _ in $(seq 1 100); do program=$(quorvant_unix_pid 'quorvant.exe') && break; sleep 0.2; done
server=$(quorvant_unix_pid wineserver)
[[ -n ${program:-} && -n $server ]] || { echo "soak: quorvant.exe or wineserver not found" >&2; exit 1; }
wine "$bin/soak_driver.exe" "$minutes" "$switch_seconds" "$refresh_seconds" 2>&1 | tr -d '\r' &
driver=$!

printf '%8s %14s %14s %16s\n' minute "program RSS kB" "program VM kB" "wineserver RSS kB"
declare -a rss vm srv
for ((m = 0; m <= minutes; m++)); do
  ((m > 0)) && sleep 60
  kill -0 "$program" 2>/dev/null || { echo "soak: quorvant.exe ended at minute $m" >&2; exit 1; }
  rss[m]=$(kb "$program" VmRSS) vm[m]=$(kb "$program" VmSize) srv[m]=$(kb "$server" VmRSS)
  printf '%8d %14s %14s %16s\n' "$m" "${rss[m]}" "${vm[m]}" "${srv[m]}"
done
wait "$driver"

base=$((minutes >= 10 ? 5 : 1))
program_growth=$((rss[minutes] - rss[base]))
server_growth=$((srv[minutes] - srv[base]))
echo "soak: from minute $base to $minutes the program's RSS grew by $program_growth kB" \
  "(VM $((vm[minutes] - vm[base])) kB), the Wine server's by $server_growth kB"
if ((program_growth <= allowed_program_kb && server_growth <= allowed_server_kb)); then
  echo "soak: verdict flat"
else
  echo "soak: verdict growing"
  exit 1
fi
