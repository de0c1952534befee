# Helpers for end-to-end scripts that drive quorvant.exe through the X display, as a user's
# mouse and keyboard would. Sourced; expects DISPLAY and the Wine environment of test.sh.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# wait_until DESCRIPTION SECONDS COMMAND...: polls COMMAND until it succeeds.
wait_until() {
  local what=$1 seconds=$2
  shift 2
  local end=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < end)) || fail "timed out after ${seconds}s waiting for: $what"
    sleep 0.1
  done
}

# Starts a copy of quorvant.exe from BIN in a folder of its own (its name holds a space) and
# waits for its window and its icon; sets folder and pid. The program ends and the folder goes
# when the script exits.
start_program() {
  folder=$(mktemp -d "/tmp/quorvant e2e.XXXXXX")
  cp "$bin/quorvant.exe" "$bin/quorvant_watcher.exe" "$bin/ico.ico" "$folder/"
  wine "$folder/quorvant.exe" </dev/null >/dev/null 2>&1 &
  pid=$!
  trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$folder"' EXIT
  wait_until "the main window" 20 main_viewable
  wait_until "the notification-area icon" 10 tray_icon_shown
}

# The start the X-driven scripts share: bin is the build's program folder (the script's
# argument), shots a folder for screenshots beside it, and a copy of the program is started.
start_script() {
  bin=$1
  shots="$bin/../screenshots"
  mkdir -p "$shots"
  start_program
}

# Without a window manager X gives the keys to the window under the pointer: the middle of
# the screen lies over the main window and over the dialogs centred on it.
point_at_middle() { xdotool mousemove --sync 640 512; }

# FOCUS is "Class#id" of the focused control of the program's thread, ACTIVE its active window.
focus_now() {
  local line
  line=$(wine "$bin/window_probe.exe" --focus FormQuorvant 2>/dev/null | tr -d '\r')
  FOCUS=${line#focus=}
  FOCUS=${FOCUS%% *}
  ACTIVE=${line#* active=}
  ACTIVE=${ACTIVE%% *}
}
focus_is() {
  focus_now
  [[ $FOCUS == "$1" && $ACTIVE == "${2:-FormQuorvant}" ]]
}
# press KEY EXPECTED-FOCUS [ACTIVE]: one key, then the focus must arrive where expected.
press() {
  xdotool key "$1"
  wait_until "focus on $2 after $1 (last seen ${FOCUS:-} in ${ACTIVE:-})" 10 focus_is "$2" "${3:-FormQuorvant}"
}

# The X window of the program's main window (786 x 557, named "Quorvant").
main_window_id() {
  xwininfo -root -tree 2>/dev/null |
    awk '/"Quorvant": \("quorvant.exe"/ && / 786x557\+/ {print $1; exit}'
}

map_state() {
  # Without an id xwininfo would wait for a click on a window.
  [[ -n $1 ]] || return 0
  xwininfo -id "$1" 2>/dev/null | awk '/Map State:/ {print $3}'
}
main_viewable() { [[ $(map_state "$(main_window_id)") == IsViewable ]]; }
main_hidden() { ! main_viewable; }

# Sets WX, WY to the main window's top-left corner on the screen.
main_origin() {
  local id
  id=$(main_window_id)
  WX=$(xwininfo -id "$id" | awk '/Absolute upper-left X:/ {print $4}')
  WY=$(xwininfo -id "$id" | awk '/Absolute upper-left Y:/ {print $4}')
}

# Sets TX, TY to the middle of the first icon in Wine's notification area.
tray_icon_position() {
  local id
  id=$(xwininfo -root -tree 2>/dev/null | awk '/"Wine System Tray"/ {print $1; exit}')
  [[ -n $id && $(map_state "$id") == IsViewable ]] || return 1
  TX=$(($(xwininfo -id "$id" | awk '/Absolute upper-left X:/ {print $4}') + 10))
  TY=$(($(xwininfo -id "$id" | awk '/Absolute upper-left Y:/ {print $4}') + 10))
}

tray_icon_shown() { tray_icon_position; }
tray_icon_gone() { ! tray_icon_position; }

screenshot() { import -window root "$1"; }

# pixel FILE X Y -> "r g b"
pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:
}

# The navigation entries' picture tops in the window, in order status .. about.
NAV_TOPS=(134 169 204 239 274 309)
NAV_LABEL_TOPS=(144 178 214 248 283 320)

# Which navigation entry shows its selected (orange) picture; -1 when none or several do.
selected_entry() {
  local shot found=-1 i r g b
  shot=$(mktemp --suffix=.png)
  screenshot "$shot"
  main_origin
  for i in "${!NAV_TOPS[@]}"; do
    read -r r g b < <(pixel "$shot" $((WX + 150)) $((WY + NAV_TOPS[i] + 6)))
    if ((r > 180 && b < 110)); then
      ((found == -1)) || { found=-1; break; }
      found=$i
    fi
  done
  rm -f "$shot"
  echo "$found"
}

entry_is_selected() { [[ $(selected_entry) == "$1" ]]; }

click_at() { xdotool mousemove --sync "$1" "$2" click "${3:-1}"; }

# What Windows itself says of the main window: "found=1 visible=1 iconic=0".
probe_main() { wine "$bin/window_probe.exe" FormQuorvant 2>/dev/null | tr -d '\r'; }
main_iconic() { [[ $(probe_main) == *"iconic=1"* ]]; }

# never_within SECONDS COMMAND...: fails when COMMAND succeeds within SECONDS.
never_within() {
  local seconds=$1
  shift
  local end=$((SECONDS + seconds))
  while ((SECONDS < end)); do
    "$@" && return 1
    sleep 0.2
  done
  return 0
}
