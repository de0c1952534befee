#!/usr/bin/env bash
# Where the settings live: a program folder the user may not write (as under Program Files)
# keeps them in the user's application-data folder, across a restart; a writable portable
# folder keeps its own Config.ini and wins.
# Usage: settings_location.sh BIN-DIR
set -u
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/x_driver.sh"

appdata=$(winepath -u "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')" 2>/dev/null)
[[ -n $appdata ]] || fail "no application-data folder"
user_config="$appdata/Quorvant/Config.ini"
rm -f "$user_config"

locked=$(mktemp -d "/tmp/quorvant locked.XXXXXX")
portable=$(mktemp -d "/tmp/quorvant portable.XXXXXX")
cp "$bin/quorvant.exe" "$bin/quorvant_watcher.exe" "$bin/ico.ico" "$locked/"
cp "$bin/quorvant.exe" "$bin/quorvant_watcher.exe" "$bin/ico.ico" "$portable/"
pid=
stop_app() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  pid=
  wait_until "the program gone" 15 main_gone
}
main_gone() { [[ -z $(main_window_id) ]]; }
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null
  chattr -i "$locked" 2>/dev/null
  rm -rf "$locked" "$portable" "$appdata/Quorvant"
}
trap cleanup EXIT
start_app() {
  wine "$1/quorvant.exe" </dev/null >/dev/null 2>&1 &
  pid=$!
  wait_until "the main window" 20 main_viewable
}
boost_box() { wine "$bin/window_probe.exe" FormQuorvant "Enable speed up process" 2>/dev/null | tr -d '\r'; }
box_is() { [[ $(boost_box) == *"checked=$1"* ]]; }

# Nothing may be created in the locked folder, as for a user under Program Files.
if ! chattr +i "$locked" 2>/dev/null; then
  echo "SKIP: this file system cannot make the program folder unwritable (chattr +i)"
  exit 77
fi

echo "a locked program folder: the click is kept in the user's folder"
start_app "$locked"
box_is 0 || fail "the box starts ticked: $(boost_box)"
main_origin
click_at $((WX + 80)) $((WY + NAV_LABEL_TOPS[1] + 5))
wait_until "the process panel" 5 entry_is_selected 1
click_at $((WX + 344)) $((WY + 256))
wait_until "the box ticked by the click" 5 box_is 1
stored() { grep -qs "EnableImproveProcess=1" "$user_config"; }
wait_until "the setting in $user_config" 5 stored
[[ ! -e $locked/Config.ini ]] || fail "a Config.ini appeared in the locked folder"
stop_app

echo "the next start restores it"
start_app "$locked"
wait_until "the box ticked again after a restart" 10 box_is 1
stop_app

echo "a writable portable folder keeps its own settings"
start_app "$portable"
box_is 0 || fail "the portable copy read the user's settings: $(boost_box)"
wait_until "Config.ini beside the portable program" 10 test -e "$portable/Config.ini"
stop_app
echo "settings location: all checks passed"
