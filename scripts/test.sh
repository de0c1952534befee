#!/usr/bin/env bash
# Sets up what is missing, builds both trees and runs every test ring:
#   1. native unit tests of the portable core (ASan + UBSan),
#   2. Win32 tests under Wine, 3. end-to-end tests of quorvant.exe under Wine + Xvfb.
# Ends with one summary line.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" || exit 1
"$root/scripts/build.sh" all || exit 1

source "$root/scripts/testenv.sh"
QUORVANT_OWN_DISPLAY=1 quorvant_env_start || exit 1
trap quorvant_env_stop EXIT
# One Wine session for the whole run, so no test starts the desktop process itself.
quorvant_env_start_session "$root/build/win64/bin"

logs=$(mktemp -d)
ctest --test-dir "$root/build/native" -j "$(nproc)" --output-on-failure --timeout 300 \
  2>&1 | tee "$logs/native.log"
ctest --test-dir "$root/build/win64" --output-on-failure --timeout 300 \
  2>&1 | tee "$logs/win64.log"

passed=0
failed=0
for log in "$logs"/native.log "$logs"/win64.log; do
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [[ -z $line ]]; then
    echo "test.sh: no test summary in $(basename "$log")" >&2
    failed=$((failed + 1))
    continue
  fi
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + t - f))
  failed=$((failed + f))
done
rm -rf "$logs"
echo
echo "tests: $passed passed, $failed failed"
((failed == 0))
