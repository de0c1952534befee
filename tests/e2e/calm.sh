#!/usr/bin/env bash
# The background calm in the real quorvant.exe, driven with the keyboard through X: its box
# on the process panel ticked with Space and stored in Config.ini; a program that burns the
# processor behind the program's window is calmed and the log says so; unticked, the program
# gives it back and says that too.
# Usage: calm.sh BIN-DIR. Screenshots go to BIN-DIR/../screenshots.
set -u
source "$(cd "$(dirname "$0")" && pwd)/lib/x_driver.sh"
start_script "$1"
point_at_middle

config_value() { grep -a "^$1=" "$folder/Config.ini" 2>/dev/null | tr -d '\r' | cut -d= -f2-; }
calm_is() {
  [[ $(wine "$bin/window_probe.exe" FormQuorvant "Calm background processes" 2>/dev/null |
    tr -d '\r') == *"checked=$1" && $(config_value CalmBackgroundProcesses) == "$1" ]]
}
# The last row of the process panel's log: its process (column 2) and what and why (4).
last_row() {
  local line
  line=$(wine "$bin/window_probe.exe" --list FormQuorvant 1201 "$1" -1 2>/dev/null | tr -d '\r')
  echo "${line#* text=}"
}
last_row_is() { [[ $(last_row 2) == titled_windows.exe && $(last_row 4) == $1 ]]; }

echo "the box beside the booster's, reached with Tab and ticked with Space, is stored"
[[ -z $(config_value CalmBackgroundProcesses) ]] || fail "the calm is stored before it was ticked"
press ctrl+Tab "Button#1001"
press Tab "Button#1007"
xdotool key space
wait_until "\"Calm background processes\" ticked and stored" 10 calm_is 1

echo "a program burning behind the window is calmed, and the log says so"
wine "$bin/titled_windows.exe" --burn "Calm e2e burner" </dev/null >/dev/null 2>&1 &
burner=$!
trap 'kill "$burner" 2>/dev/null; kill "$pid" 2>/dev/null; wait; rm -rf "$folder"' EXIT
wait_until "a log row: the burner calmed" 60 last_row_is "calmed: * % of the CPU in the background"
[[ $(last_row 3) == "Below Normal" ]] || fail "the calmed row's class is \"$(last_row 3)\""
screenshot "$shots/calm_calmed.png"

echo "unticked, the calm gives the burner back and says so"
xdotool key space
wait_until "\"Calm background processes\" cleared and stored" 10 calm_is 0
wait_until "a log row: the burner given back" 10 last_row_is "given back: calm switched off"
[[ $(last_row 3) == Normal ]] || fail "the given-back row's class is \"$(last_row 3)\""
echo "PASS"
