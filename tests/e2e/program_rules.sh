#!/usr/bin/env bash
# A program rule made from the keyboard alone on the real quorvant.exe: "Program rules" on the
# settings panel, the rule typed into the dialog and added with Enter, seen in Config.ini,
# applied to a burner started afterwards (its share of a core read from /proc), removed with
# "Remove" (the burner free again) and the dialog closed with Esc.
# Usage: program_rules.sh BIN-DIR. Screenshots go to BIN-DIR/../screenshots.
set -u
source "$(cd "$(dirname "$0")" && pwd)/lib/x_driver.sh"
start_script "$1"
point_at_middle

rule_value() { grep -a "^Rule1=" "$folder/Config.ini" 2>/dev/null | tr -d '\r' | cut -d= -f2-; }
rule_is() { [[ $(rule_value) == "$1" ]]; }

# The burner's share of one core over a few seconds, from Linux's /proc.
burner_ticks() { awk '{print $14 + $15}' "/proc/$burner_pid/stat"; }
share() {
  local before after
  before=$(burner_ticks)
  sleep 3
  after=$(burner_ticks)
  echo $(((after - before) / 3))
}

echo "\"Program rules\" on the settings panel, from the keyboard"
wait_until "the window itself focused at start" 10 focus_is "FormQuorvant#0"
press ctrl+Prior "Quorvant.Link#0"
press ctrl+Prior "Button#1005"
press Tab "Button#1006"
press Tab "Quorvant.Command#1008"
xdotool key space
wait_until "the rules dialog with its list focused" 20 focus_is "SysListView32#100" FormProgramRules

echo "a rule typed in and added with Enter"
press Tab "Edit#101" FormProgramRules
xdotool type --delay 30 "burner.exe"
press Tab "Quorvant.Command#5" FormProgramRules
xdotool key Tab
press Tab "Button#103" FormProgramRules
xdotool key space
press Tab "Edit#104" FormProgramRules
xdotool key End BackSpace BackSpace
xdotool type --delay 30 "20"
press Tab "ComboBox#105" FormProgramRules
xdotool key b
screenshot "$shots/program_rules_dialog.png"
xdotool key Return
wait_until "the rule in Config.ini" 10 rule_is "burner.exe|cpu=20|priority=Below Normal"

echo "a burner started afterwards is held to the rule"
out=$(mktemp)
wine "$bin/burner.exe" "quorvant-rule-burner-$$" >"$out" 2>/dev/null &
wine_pid=$!
trap 'kill "$wine_pid" 2>/dev/null; [[ -n ${burner_pid:-} ]] && kill "$burner_pid" 2>/dev/null; rm -f "$out"; kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$folder"' EXIT
burner_started() { burner_pid=$(head -n1 "$out" 2>/dev/null | tr -d '\r'); [[ -n $burner_pid && -e /proc/$burner_pid ]]; }
wait_until "the burner running" 20 burner_started
# The ledger of live effects is the user's and the session's, in the local application data.
ledger_holds_a_limit() {
  local file
  for file in "$WINEPREFIX"/drive_c/users/*/AppData/Local/Quorvant/Effects.*.txt; do
    [[ $file == *.left.txt ]] && continue
    grep -aqE '^(duty|cap) ' "$file" 2>/dev/null && return 0
  done
  return 1
}
# How soon a rule takes hold is the benchmark's to measure; here only that it does.
wait_until "the burner's limit in the ledger" 10 ledger_holds_a_limit
limited=$(share)
echo "limited burner: $limited % of a core"
((limited <= 30)) || fail "the burner ran at $limited % of a core under a 20 % rule"
screenshot "$shots/program_rules_applied.png"

echo "the rule selected and removed from the keyboard: the burner runs freely at once"
press Tab "Button#106" FormProgramRules
press Tab "Quorvant.Command#1" FormProgramRules
press Tab "Quorvant.Command#2" FormProgramRules
press Tab "Quorvant.Command#3" FormProgramRules
press Tab "Quorvant.Command#4" FormProgramRules
press Tab "SysListView32#100" FormProgramRules
xdotool key Home
press shift+Tab "Quorvant.Command#4" FormProgramRules
press shift+Tab "Quorvant.Command#3" FormProgramRules
xdotool key space
wait_until "the rule gone from Config.ini" 10 rule_is ""
no_limit_in_ledger() { ! ledger_holds_a_limit; }
wait_until "nothing left in the ledger" 5 no_limit_in_ledger
free=$(share)
echo "freed burner: $free % of a core"
((free > limited + 15)) || fail "the burner still ran at $free % of a core after the rule went"

echo "Esc closes the dialog; the focus returns to \"Program rules\""
xdotool key Escape
wait_until "the focus back on \"Program rules\"" 10 focus_is "Quorvant.Command#1008"
echo "PASS"
