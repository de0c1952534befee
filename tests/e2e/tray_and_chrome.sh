#!/usr/bin/env bash
# Drives the real quorvant.exe with X input: the navigation column, the title strip, the
# title-bar pictures, the notification-area icon and its popup menu, and "Exit".
# Usage: tray_and_chrome.sh BIN-DIR. Screenshots go to BIN-DIR/../screenshots.
set -u
source "$(cd "$(dirname "$0")" && pwd)/lib/x_driver.sh"
start_script "$1"
wait_until "the status entry selected at start" 5 entry_is_selected 0
screenshot "$shots/start.png"

echo "navigation: each label, and the memory entry's picture"
main_origin
for i in 1 2 3 4 5 0; do
  click_at $((WX + 80)) $((WY + NAV_LABEL_TOPS[i] + 5))
  wait_until "entry $i selected by its label" 5 entry_is_selected "$i"
  screenshot "$shots/panel_$i.png"
done
click_at $((WX + 200)) $((WY + NAV_TOPS[3] + 30))
wait_until "memory selected by its picture" 5 entry_is_selected 3

echo "dragging by the title strip"
main_origin
x0=$WX y0=$WY
xdotool mousemove --sync $((WX + 300)) $((WY + 10)) mousedown 1
xdotool mousemove --sync $((WX + 340)) $((WY + 40))
xdotool mousemove --sync $((WX + 360)) $((WY + 60)) mouseup 1
moved() { main_origin; ((WX == x0 + 60 && WY == y0 + 50)); }
wait_until "the window moved by the drag" 5 moved
# The maker's name lies over the strip's left end; it drags too.
main_origin
x0=$WX y0=$WY
xdotool mousemove --sync $((WX + 40)) $((WY + 12)) mousedown 1
xdotool mousemove --sync $((WX + 20)) $((WY + 22))
xdotool mousemove --sync $((WX + 10)) $((WY + 32)) mouseup 1
moved_back() { main_origin; ((WX == x0 - 30 && WY == y0 + 20)); }
wait_until "the window moved by a drag on \"Morwick\"" 5 moved_back
config_before=$(md5sum <"$folder/Config.ini")

echo "close picture hides; double click on the icon brings the window back"
main_origin
click_at $((WX + 766)) $((WY + 13))
wait_until "the window hidden by the close picture" 10 main_hidden
kill -0 "$pid" || fail "the close picture ended the program"
tray_icon_position
xdotool mousemove --sync "$TX" "$TY" click --repeat 2 --delay 80 1
wait_until "the window back after a double click" 10 main_viewable
wait_until "the memory panel still selected" 5 entry_is_selected 3

echo "tray menu: Speed up CPU while hidden"
main_origin
click_at $((WX + 766)) $((WY + 13))
wait_until "the window hidden" 10 main_hidden
tray_icon_position
click_at "$TX" "$TY" 3
menu_open() {
  local shot r g b
  shot=$(mktemp --suffix=.png)
  screenshot "$shot"
  read -r r g b < <(pixel "$shot" $((TX + 40)) $((TY + 140)))
  cp "$shot" "$shots/tray_menu.png"
  rm -f "$shot"
  ((r > 200 && g > 200 && b > 200))
}
wait_until "the popup menu" 5 menu_open
xdotool key Down Down Down Return
wait_until "the window shown by the menu" 10 main_viewable
wait_until "the CPU panel selected by the menu" 5 entry_is_selected 2

echo "minimise picture: a press that moves does nothing, a still click minimises"
main_origin
xdotool mousemove --sync $((WX + 734)) $((WY + 13)) mousedown 1
xdotool mousemove --sync $((WX + 736)) $((WY + 14)) mouseup 1
never_within 1 main_iconic || fail "a press with a move minimised the window"
click_at $((WX + 734)) $((WY + 13))
# Without a window manager X keeps showing it; Windows knows it is minimised.
wait_until "the window minimised" 10 main_iconic
kill -0 "$pid" || fail "minimising ended the program"

echo "Exit from the tray menu"
tray_icon_position
click_at "$TX" "$TY" 3
wait_until "the popup menu" 5 menu_open
xdotool key Down Down Down Down Down Down Down Down Return
gone() { ! kill -0 "$pid" 2>/dev/null; }
wait_until "the program to end" 15 gone
wait_until "the icon to leave the notification area" 10 tray_icon_gone
[[ $(md5sum <"$folder/Config.ini") == "$config_before" ]] || fail "Config.ini changed after start-up"
echo "tray and chrome: all checks passed"
