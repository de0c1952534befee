#!/usr/bin/env bash
# Sets up what is missing, builds quorvant.exe and runs it under Wine: on the current X
# display, or on a virtual one started here when there is none.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" || exit 1
"$root/scripts/build.sh" win64 || exit 1

source "$root/scripts/testenv.sh"
had_display=${DISPLAY:-}
if [[ -n $had_display ]] && ! xdpyinfo >/dev/null 2>&1; then had_display=; fi
# The program's own prefix, kept between runs so its registry value persists like on Windows.
prefix=${QUORVANT_WINEPREFIX:-$HOME/.local/share/quorvant/wine}
mkdir -p "$prefix"
quorvant_env_start "$prefix" || exit 1
trap quorvant_env_stop EXIT
if [[ -z $had_display ]]; then
  echo "run.sh: no X display; quorvant runs on the virtual display $DISPLAY."
  echo "        Screenshot: import -display $DISPLAY -window root quorvant.png"
fi
echo "run.sh: starting quorvant.exe (end it from its tray menu, \"Exit\", or with Ctrl+C)"
# 'wine' returns when the program has ended.
wine "$root/build/win64/bin/quorvant.exe"
