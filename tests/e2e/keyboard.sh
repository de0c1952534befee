#!/usr/bin/env bash
# Drives the real quorvant.exe with the keyboard alone, through X key presses, and reads the
# focused control from a second process: Tab on every panel, the panel keys, Esc, Space and
# Enter on buttons, the limit dialog, and the focus after the window comes back.
# Usage: keyboard.sh BIN-DIR. Screenshots go to BIN-DIR/../screenshots.
set -u
source "$(cd "$(dirname "$0")" && pwd)/lib/x_driver.sh"
start_script "$1"
point_at_middle

# list_row ID COLUMN: sets ROWS, SELECTED and TEXT (the selected row's text in COLUMN).
list_row() {
  local line
  line=$(wine "$bin/window_probe.exe" --list FormQuorvant "$1" "$2" 2>/dev/null | tr -d '\r')
  ROWS=${line#rows=}
  ROWS=${ROWS%% *}
  SELECTED=${line#* selected=}
  SELECTED=${SELECTED%% *}
  TEXT=${line#* text=}
}
limited_text_is() {
  list_row 2001 3
  [[ $TEXT == "$1" ]]
}
window_shown() { [[ $(wine "$bin/window_probe.exe" "$1" 2>/dev/null | tr -d '\r') == *"visible=1"* ]]; }
window_gone() { ! window_shown "$1"; }
dialog_shown() { window_shown FormSetProcessCpuPercent; }
dialog_gone() { ! dialog_shown; }

# Each panel's controls in the order Tab visits them, from the one that takes the focus when
# the panel is selected; the status panel has none, so the window itself keeps the focus.
tab_order=(
  "FormQuorvant#0"
  "Button#1001 Button#1007 ComboBox#1002 SysListView32#1201"
  "SysListView32#2001 Quorvant.Command#2002 Quorvant.Command#2003"
  "Quorvant.Command#1301 Button#1003 ComboBox#1004 SysListView32#1302"
  "Button#1005 Button#1006 Quorvant.Command#1008"
  "Quorvant.Link#0"
)

echo "Tab on the status panel: no control to visit"
wait_until "the window itself focused at start" 10 focus_is "FormQuorvant#0"
press Tab "FormQuorvant#0"

echo "Ctrl+Tab visits every panel in order; Tab visits each panel's controls once and comes back"
for i in 1 2 3 4 5 0; do
  read -r -a controls <<<"${tab_order[i]}"
  press ctrl+Tab "${controls[0]}"
  wait_until "entry $i selected by Ctrl+Tab" 5 entry_is_selected "$i"
  for control in "${controls[@]:1}" "${controls[0]}"; do press Tab "$control"; done
  case $i in
    2 | 3 | 4 | 5) screenshot "$shots/keyboard_panel_$i.png" ;;
  esac
done

echo "the other panel keys: Ctrl+Shift+Tab, Ctrl+Page Up, Ctrl+Page Down, wrapping at both ends"
press ctrl+shift+Tab "Quorvant.Link#0"
wait_until "about selected by Ctrl+Shift+Tab" 5 entry_is_selected 5
press ctrl+Prior "Button#1005"
wait_until "settings selected by Ctrl+Page Up" 5 entry_is_selected 4
press ctrl+Next "Quorvant.Link#0"
press ctrl+Next "FormQuorvant#0"
wait_until "status selected by Ctrl+Page Down" 5 entry_is_selected 0

echo "Space ticks a check box, the arrows choose in a drop-down list, Esc closes an open list only"
config_value() { grep -a "^$1=" "$folder/Config.ini" | tr -d '\r' | cut -d= -f2-; }
checked_is() {
  [[ $(wine "$bin/window_probe.exe" FormQuorvant "Auto minimize on start up" 2>/dev/null |
    tr -d '\r') == *"checked=$1" && $(config_value Automin) == "$1" ]]
}
press ctrl+Prior "Quorvant.Link#0"
press ctrl+Prior "Button#1005"
press Tab "Button#1006"
xdotool key space
wait_until "\"Auto minimize on start up\" ticked and stored" 10 checked_is 1
xdotool key space
wait_until "\"Auto minimize on start up\" cleared and stored" 10 checked_is 0
press ctrl+Prior "Quorvant.Command#1301"
press shift+Tab "SysListView32#1302"
press shift+Tab "ComboBox#1004"
interval=$(config_value AutoFreeMemoryInterval)
interval_changed() { [[ $(config_value AutoFreeMemoryInterval) != "$interval" ]]; }
xdotool key Down
wait_until "another interval chosen and stored" 10 interval_changed
xdotool key alt+Down
wait_until "the list open" 5 window_shown ComboLBox
xdotool key Escape
wait_until "the list closed by Esc" 5 window_gone ComboLBox
never_within 2 main_hidden || fail "Esc on an open list hid the window"
wait_until "the list still focused" 5 focus_is "ComboBox#1004"

echo "Space on \"Release memory now\" shows its message; Enter closes it and the log gains its row"
press ctrl+Prior "SysListView32#2001"
press ctrl+Next "Quorvant.Command#1301"
xdotool key space
wait_until "the message box with its OK button focused" 60 focus_is "Button#1" "#32770"
screenshot "$shots/keyboard_message.png"
xdotool key Return
wait_until "the focus back on the button after Enter" 10 focus_is "Quorvant.Command#1301"
log_has_row() {
  list_row 1302 0
  [[ $ROWS == 1 ]]
}
wait_until "one row in the memory log" 5 log_has_row

echo "limit dialog: the slider first, Tab through the visible buttons, Esc changes nothing"
press ctrl+Prior "SysListView32#2001"
xdotool key Down
row_selected() {
  list_row 2001 3
  ((SELECTED >= 0))
}
wait_until "a process row selected by Down" 5 row_selected
limited_text_is "" || fail "the selected row is already limited: \"$TEXT\""
press Tab "Quorvant.Command#2002"
press Tab "Quorvant.Command#2003"
xdotool key space
wait_until "the new-limit dialog with its slider focused" 20 \
  focus_is "msctls_trackbar32#0" FormSetProcessCpuPercent
# The box that keeps the limit as the program's rule, below the slider.
press Tab "Button#0" FormSetProcessCpuPercent
press Tab "Quorvant.Command#3" FormSetProcessCpuPercent
screenshot "$shots/keyboard_dialog.png"
press Tab "Quorvant.Command#4" FormSetProcessCpuPercent
press Tab "msctls_trackbar32#0" FormSetProcessCpuPercent
xdotool key Left Left
xdotool key Escape
wait_until "the dialog closed by Esc" 10 dialog_gone
wait_until "the focus back on \"Limit\"" 10 focus_is "Quorvant.Command#2003"
limited_text_is "" || fail "Esc set a limit: \"$TEXT\""

echo "Enter is \"OK\" in the new-limit dialog"
xdotool key Return
wait_until "the new-limit dialog opened by Enter" 20 \
  focus_is "msctls_trackbar32#0" FormSetProcessCpuPercent
xdotool key Left Left
xdotool key Return
wait_until "the dialog closed by Enter" 10 dialog_gone
wait_until "the row limited to 97%" 10 limited_text_is "97%"

echo "existing limit: Tab reaches \"Adjustment\" and \"Release\", Esc changes nothing, Enter adjusts"
wait_until "the focus back on \"Limit\"" 10 focus_is "Quorvant.Command#2003"
xdotool key space
wait_until "the existing-limit dialog" 20 focus_is "msctls_trackbar32#0" FormSetProcessCpuPercent
press Tab "Button#0" FormSetProcessCpuPercent
press Tab "Quorvant.Command#1" FormSetProcessCpuPercent
press Tab "Quorvant.Command#2" FormSetProcessCpuPercent
press Tab "msctls_trackbar32#0" FormSetProcessCpuPercent
xdotool key Left
xdotool key Escape
wait_until "the dialog closed by Esc" 10 dialog_gone
limited_text_is "97%" || fail "Esc changed the limit: \"$TEXT\""
wait_until "the focus back on \"Limit\"" 10 focus_is "Quorvant.Command#2003"
xdotool key space
wait_until "the existing-limit dialog" 20 focus_is "msctls_trackbar32#0" FormSetProcessCpuPercent
xdotool key Left
xdotool key Return
wait_until "the dialog closed by Enter" 10 dialog_gone
wait_until "the limit adjusted to 96%" 10 limited_text_is "96%"

echo "Esc hides the window to the tray; coming back, the visible panel's first control has the focus"
wait_until "the focus back on \"Limit\"" 10 focus_is "Quorvant.Command#2003"
xdotool key Escape
wait_until "the window hidden by Esc" 10 main_hidden
kill -0 "$pid" || fail "Esc ended the program"
tray_icon_position
xdotool mousemove --sync "$TX" "$TY" click --repeat 2 --delay 80 1
wait_until "the window back after a double click" 10 main_viewable
wait_until "the CPU panel's list focused" 10 focus_is "SysListView32#2001"

echo "a panel chosen from the tray menu takes the focus"
point_at_middle
xdotool key Escape
wait_until "the window hidden by Esc" 10 main_hidden
tray_icon_position
click_at "$TX" "$TY" 3
wait_until "the popup menu" 5 window_shown "#32768"
xdotool key Down Down Down Down Return
wait_until "the window shown by the menu" 10 main_viewable
wait_until "the memory panel selected by the menu" 5 entry_is_selected 3
wait_until "\"Release memory now\" focused" 10 focus_is "Quorvant.Command#1301"
point_at_middle
press Tab "Button#1003"
echo "keyboard: all checks passed"
