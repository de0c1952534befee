#!/usr/bin/env bash
# quorvant_watcher.exe waits beside every running quorvant.exe: it may import the kernel and
# the C runtime only (no windowing, shell or COM library, which would cost it their memory
# and their start-up), it has no console, and it ships stripped like the program.
# Usage: watcher_imports.sh <folder of quorvant.exe>
set -uo pipefail
bin=${1:?usage: watcher_imports.sh <bin folder>}
exe=$bin/quorvant_watcher.exe
objdump=$(command -v x86_64-w64-mingw32-objdump || command -v objdump) ||
  { echo "SKIP: no objdump"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
[[ -f $exe ]] || fail "no $exe"
headers=$("$objdump" -p "$exe") || fail "objdump cannot read $exe"
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
[[ $imports == "kernel32.dll msvcrt.dll " ]] || fail "it imports $imports"
grep -q 'Subsystem.*Windows GUI' <<<"$headers" || fail "it is not a program without a console"
! "$objdump" -h "$exe" | grep -q '\.debug_info' || fail "it carries its debugging information"
echo "quorvant_watcher.exe imports $imports"
