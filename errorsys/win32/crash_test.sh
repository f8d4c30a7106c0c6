#!/usr/bin/env bash
# Runs the crash program under Wine and checks that the access violation ended as a run-time
# error with sub-code 5333 in VOERROR.LOG, with the exception address written whole, and that the
# process ended with an error code.
# Usage: crash_test.sh CRASH_PROGRAM_EXE ADDRESS_DIGITS
# QEF_WINE names the Wine loader for the program's build (default: wine).
set -uo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
digits=$2
WINEDEBUG=-all "${QEF_WINE:-wine}" "$program" > output.txt 2>&1
status=$?
log="$work/VOERROR.LOG"
fail() {
  echo "FAILED: $*"
  echo "exit status $status; output:"
  cat output.txt
  [ -f "$log" ] && cat "$log"
  exit 1
}
[ -f "$log" ] || fail "no VOERROR.LOG"
grep -q "5333" "$log" || fail "no sub-code 5333 in the log"
grep -qi "C0000005" "$log" || fail "no access-violation code in the log"
grep -qE "^ExceptionAddress:[0-9A-F]{$digits}"$'\r'"?\$" "$log" ||
  fail "the exception address is not written in $digits hexadecimal digits"
[ "$status" -ne 0 ] || fail "the process ended with 0"
echo "access violation logged as sub-code 5333; exit status $status"
