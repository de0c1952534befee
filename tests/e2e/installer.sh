#!/usr/bin/env bash
# The downloads as a user meets them. The MSI installs the program for every user with a
# Start-menu shortcut and an "Apps & features" entry; the installed program, started from
# that shortcut, keeps a setting in the user's folder across a restart (Program Files is not
# the user's to write); a later version replaces it and keeps the user's start-with-Windows
# choice; the uninstall removes the files, the shortcut, the entry and that choice's Run
# values, and leaves the user's settings. The portable zip holds one folder with the program.
# Usage: installer.sh BIN-DIR
set -u
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/x_driver.sh"

# The version this build made, from the identity the installer is built from.
built_version=$(sed -n 's/.*define Version = "\(.*\)".*/\1/p' "$bin/../skin/product.wxi")
[[ -n $built_version ]] || fail "no product version in $bin/../skin/product.wxi"
msi=$bin/../package/quorvant-$built_version-x64.msi
zip=${msi%.msi}.zip
[[ -f $msi ]] || fail "no installer $msi (scripts/setup.sh installs wixl)"
[[ -f $zip ]] || fail "no portable zip beside $msi"

# What the installer says of itself, read from its own tables.
msi_property() {
  msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v key="$2" '$1 == key {print $2}'
}
version=$(msi_property "$msi" ProductVersion)
code=$(msi_property "$msi" ProductCode)
[[ -n $version && -n $code ]] || fail "no version or product code in $msi"
[[ $version == "$built_version" ]] || fail "$msi says it is version $version"

win_path() { winepath -w "$1" 2>/dev/null; }
unix_path() { winepath -u "$1" 2>/dev/null; }
expand() { wine cmd /c echo "$1" 2>/dev/null | tr -d '\r'; }

install_win="$(expand '%ProgramFiles%')\\Quorvant"
install_dir=$(unix_path "$install_win")
appdata=$(unix_path "$(expand '%APPDATA%')")
[[ -n $install_dir && -n $appdata ]] || fail "no Program Files or application-data folder"
user_config=$appdata/Quorvant/Config.ini
run_key='Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$code"

work=$(mktemp -d /tmp/quorvant-installer.XXXXXX)
installed=
cleanup() {
  chattr -i "$install_dir" 2>/dev/null
  [[ -n $installed ]] && wine msiexec /x "$installed" /qn >/dev/null 2>&1
  wine reg delete "HKLM\\$run_key" /v Quorvant /f >/dev/null 2>&1
  wine reg delete "HKCU\\$run_key" /v Quorvant /f >/dev/null 2>&1
  wine reg delete "HKCU\\$run_key" /v QuorvantNeighbour /f >/dev/null 2>&1
  rm -rf "$work" "$appdata/Quorvant"
}
trap cleanup EXIT
[[ ! -e $install_dir ]] || fail "$install_dir exists before the install"
rm -rf "$appdata/Quorvant"

# msiexec PACKAGE ACTION: runs it silently with a full log in $work/ACTION.log.
msiexec() {
  wine msiexec "/$2" "$(win_path "$1")" /qn /l*v "$(win_path "$work/$2.log")" </dev/null \
    >/dev/null 2>&1
}
logged_property() {
  tr -d '\r' <"$work/$1.log" | sed -n "s/^Property(S): $2 = //p" | tail -n 1
}
reg_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name {sub(/^ *[^ ]+ +[^ ]+ +/, ""); print; exit}'
}
has_value() { wine reg query "$1" /v "$2" >/dev/null 2>&1; }

echo "install $(basename "$msi")"
msiexec "$msi" i || fail "msiexec /i failed; log: $(tail -n 5 "$work/i.log")"
installed=$(win_path "$msi")
cmp -s "$bin/quorvant.exe" "$install_dir/quorvant.exe" || fail "quorvant.exe not installed in $install_dir"
cmp -s "$bin/ico.ico" "$install_dir/ico.ico" || fail "ico.ico not installed in $install_dir"
cmp -s "$bin/quorvant_watcher.exe" "$install_dir/quorvant_watcher.exe" ||
  fail "quorvant_watcher.exe not installed in $install_dir"
for check in "DisplayName=Quorvant" "DisplayVersion=$version" "Publisher=Morwick" \
  "DisplayIcon=$install_win\\quorvant.exe,0"; do
  got=$(reg_value "$uninstall_key" "${check%%=*}")
  [[ $got == "${check#*=}" ]] || fail "uninstall entry ${check%%=*} is '$got', not '${check#*=}'"
done
# Where the shortcut goes is the installer service's to say (Wine keeps even a machine-wide
# install's shortcuts in the user's menu).
menu=$(logged_property i ProgramMenuFolder)
[[ -n $menu ]] || fail "no ProgramMenuFolder in the install log"
shortcut_win="${menu%\\}\\Quorvant.lnk"
shortcut=$(unix_path "$shortcut_win")
[[ -f $shortcut ]] || fail "no Start-menu shortcut at $shortcut_win"

# As under Program Files for a user without elevation: nothing may be written beside the
# program, so a Config.ini there would mean the wrong settings location. A file system that
# cannot lock a folder leaves the program's own part out; the rest still runs, and the test
# then reports itself skipped.
lockable=
if chattr +i "$install_dir" 2>/dev/null; then
  lockable=1
  chattr -i "$install_dir"
fi
lock_program_folder() { chattr +i "$install_dir" || fail "cannot lock $install_dir again"; }

start_from_menu() {
  wine start "$shortcut_win" </dev/null >/dev/null 2>&1 || fail "the shortcut did not start"
  wait_until "the main window" 20 main_viewable
}
auto_run_box() {
  wine "$bin/window_probe.exe" FormQuorvant "Start with windows" 2>/dev/null | tr -d '\r'
}
box_is() { [[ $(auto_run_box) == *"checked=$1"* ]]; }
menu_open() {
  local shot r g b
  shot=$(mktemp --suffix=.png)
  screenshot "$shot"
  read -r r g b < <(pixel "$shot" $((TX + 40)) $((TY + 140)))
  rm -f "$shot"
  ((r > 200 && g > 200 && b > 200))
}
main_gone() { [[ -z $(main_window_id) ]]; }
exit_from_tray() {
  wait_until "the notification-area icon" 10 tray_icon_position
  click_at "$TX" "$TY" 3
  wait_until "the popup menu" 5 menu_open
  xdotool key Down Down Down Down Down Down Down Down Return
  wait_until "the program to end" 15 main_gone
  wait_until "the icon to leave the notification area" 10 tray_icon_gone
}

stored() { grep -qs "Autorun=1" "$user_config"; }
# The program registers the path it runs from: the installed copy.
run_value() { reg_value "HKLM\\$run_key" Quorvant; }
run_is_installed() { [[ $(run_value) == "\"$install_win\\quorvant.exe\"" ]]; }

if [[ -n $lockable ]]; then
  echo "the shortcut starts the installed program; a setting clicked there is kept"
  lock_program_folder
  start_from_menu
  box_is 0 || fail "start with windows is ticked on a first start: $(auto_run_box)"
  main_origin
  click_at $((WX + 80)) $((WY + NAV_LABEL_TOPS[4] + 5))
  wait_until "the settings panel" 5 entry_is_selected 4
  click_at $((WX + 352)) $((WY + 192))
  wait_until "start with windows ticked by the click" 5 box_is 1
  wait_until "the setting in $user_config" 5 stored
  [[ ! -e $install_dir/Config.ini ]] || fail "a Config.ini appeared beside the installed program"
  wait_until "the Run value naming the installed program (now '$(run_value)')" 5 run_is_installed
  exit_from_tray

  echo "the next start from the menu restores it"
  start_from_menu
  wait_until "start with windows ticked again after a restart" 10 box_is 1
  exit_from_tray
  chattr -i "$install_dir"
else
  echo "SKIP (part): this file system cannot lock the program folder (chattr +i); the" \
    "program is not started, its settings file and Run value are made by hand"
  mkdir -p "$(dirname "$user_config")"
  printf '[Setting]\r\nAutorun=1\r\n' >"$user_config"
  wine reg add "HKLM\\$run_key" /v Quorvant /d "\"$install_win\\quorvant.exe\"" /f >/dev/null 2>&1
fi

echo "a later version replaces this one; the start-with-Windows choice holds"
# The same source with the version raised and that version's own product code, as the build
# would make it; the upgrade code stays.
# The installer service compares only the first three fields of a version.
IFS=. read -r major minor build revision <<<"$version"
later_version=$major.$minor.$((build + 1)).$revision
later_code=$(cat /proc/sys/kernel/random/uuid | tr a-z A-Z)
mkdir -p "$work/later"
sed -e "s/\"$version\"/\"$later_version\"/" -e "s/${code//[\{\}]/}/$later_code/" \
  "$bin/../skin/product.wxi" >"$work/later/product.wxi"
later_msi=$work/later/quorvant-$later_version-x64.msi
(cd "$bin" && wixl -a x64 -I "$work/later" -D ExeSource=quorvant.exe \
  -D WatcherSource=quorvant_watcher.exe -D IconSource=ico.ico \
  -D ProductIconSource=../skin/app.ico \
  -o "$later_msi" "$here/../../skin/quorvant.wxs" >/dev/null 2>&1) || fail "wixl could not build $later_version"
[[ $(msi_property "$later_msi" ProductVersion) == "$later_version" ]] || fail "the later installer is not $later_version"
msiexec "$later_msi" i || fail "msiexec /i of $later_version failed; log: $(tail -n 5 "$work/i.log")"
installed=$(win_path "$later_msi")
later_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{$later_code}"
[[ $(reg_value "$later_key" DisplayVersion) == "$later_version" ]] || fail "no uninstall entry for $later_version"
! has_value "$uninstall_key" DisplayName || fail "the entry of $version outlived the upgrade"
[[ -f $install_dir/quorvant.exe && -f $install_dir/quorvant_watcher.exe && -f $install_dir/ico.ico &&
  -f $shortcut ]] || fail "the upgrade left the program, its watcher, its icon or its shortcut out"
stored || fail "the upgrade touched the user's settings file"
! msiexec "$msi" i || fail "the earlier version installed over the later one"
[[ $(reg_value "$later_key" DisplayVersion) == "$later_version" ]] || fail "the refused downgrade changed the entry"
! has_value "$uninstall_key" DisplayName || fail "the refused downgrade registered $version"
# Windows keeps the Run value through an upgrade; Wine's installer service does not tell the
# earlier version that it is being replaced, so there the program's next start writes it
# again from the setting. Either way the choice holds from the next start on.
if [[ -n $lockable ]]; then
  lock_program_folder
  start_from_menu
  wait_until "start with windows still ticked after the upgrade" 10 box_is 1
  wait_until "the Run value naming the installed program (now '$(run_value)')" 5 run_is_installed
  exit_from_tray
  chattr -i "$install_dir"
else
  wine reg add "HKLM\\$run_key" /v Quorvant /d "\"$install_win\\quorvant.exe\"" /f >/dev/null 2>&1
fi

echo "uninstall removes what was installed and the Run values, not the user's settings"
# Without the rights for the machine's Run key the program writes the user's; a value of
# another program there stays.
wine reg add "HKCU\\$run_key" /v Quorvant /d "\"$install_win\\quorvant.exe\"" /f >/dev/null 2>&1
wine reg add "HKCU\\$run_key" /v QuorvantNeighbour /d 'C:\other.exe' /f >/dev/null 2>&1
msiexec "$later_msi" x || fail "msiexec /x failed; log: $(tail -n 5 "$work/x.log")"
installed=
[[ ! -e $install_dir ]] || fail "$install_dir is still there: $(ls -A "$install_dir")"
[[ ! -e $shortcut ]] || fail "the Start-menu shortcut is still there"
! has_value "$later_key" DisplayName || fail "the uninstall entry is still there"
! has_value "HKLM\\$run_key" Quorvant || fail "the machine's Run value is still there"
! has_value "HKCU\\$run_key" Quorvant || fail "the user's Run value is still there"
has_value "HKCU\\$run_key" QuorvantNeighbour || fail "another program's Run value was removed"
stored || fail "the user's settings file was not left alone"

echo "the portable zip: one folder with the program, its icon and a first-use text"
listing=$(unzip -Z1 "$zip" | sort | tr '\n' '|')
expected="Quorvant/|Quorvant/Read me.txt|Quorvant/ico.ico|Quorvant/quorvant.exe|Quorvant/quorvant_watcher.exe|"
[[ $listing == "$expected" || $listing == "${expected#Quorvant/|}" ]] ||
  fail "the zip holds $listing"
unzip -q "$zip" -d "$work/unzipped" || fail "the zip does not unpack"
cmp -s "$bin/quorvant.exe" "$work/unzipped/Quorvant/quorvant.exe" || fail "the zip's quorvant.exe differs"
cmp -s "$bin/quorvant_watcher.exe" "$work/unzipped/Quorvant/quorvant_watcher.exe" ||
  fail "the zip's quorvant_watcher.exe differs"
grep -q $'\r$' "$work/unzipped/Quorvant/Read me.txt" || fail "the first-use text has no Windows line ends"
grep -q "$version" "$work/unzipped/Quorvant/Read me.txt" || fail "the first-use text does not name $version"
if [[ -z $lockable ]]; then
  echo "SKIP: all checks passed but the installed program's own part (no chattr +i here)"
  exit 77
fi
echo "installer: all checks passed"
