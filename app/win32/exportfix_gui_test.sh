#!/usr/bin/env bash
# Drives the real exportfix.exe under Wine and Xvfb with xdotool: a run that repairs two files
# chosen in the real open dialog, and a run cancelled with Escape during a large file. Reads
# what the program showed from its box trace (QEF_UI_TRACE) and keeps screenshots.
# Usage: exportfix_gui_test.sh EXPORTFIX_EXE MAKE_SAMPLES SCREENSHOT_DIR
set -euo pipefail
exe=$(realpath "$1")
make_samples=$(realpath "$2")
shots=$(realpath -m "$3")
mkdir -p "$shots"
export WINEDEBUG=-all
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true  # this test runs alone in its Wine prefix
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own.
exec 5> "$work/display"
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"

"$make_samples" "$work" --large 1024 >/dev/null
trace="$work/trace.txt"

fail() {
  echo "FAILED: $*"
  echo "---- box trace ----"
  cat "$trace" 2>/dev/null || true
  screenshot "failure"
  exit 1
}
screenshot() { xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "$shots/$1.png" 2>/dev/null || true; }
wait_trace() {
  for _ in $(seq 1 300); do
    grep -qF -- "$1" "$trace" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "timed out waiting for: $1"
}
window() {
  for _ in $(seq 1 100); do
    local id
    id=$(xdotool search --name "$1" 2>/dev/null | tail -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  fail "no window named $1"
}
# The dialog opens in the folder it showed last; typing a folder in the name field goes there.
choose() {
  local dialog=$1
  press "$dialog" type --delay 20 "Z:${work//\//\\}"
  press "$dialog" key Return
  sleep 1
  press "$dialog" type --delay 30 "$2"
  press "$dialog" key Return
}
# Keys go through XTEST to the focused window: sent events lose their Shift state.
press() {
  xdotool windowfocus "$1" 2>/dev/null || true
  sleep 0.3
  shift
  xdotool "$@"
}
start() {
  rm -f "$trace"
  (cd "$work" && QEF_UI_TRACE="$trace" wine "$exe" >/dev/null 2>&1; echo "exit $?" >> "$trace") &
}

# First run: two files, repaired in the dialog's order.
start
wait_trace "Box Quillon Export File Fix v1.1: The CA-VO 2.5 version control"
sleep 0.5
screenshot "1-intro"
press "$(window 'Quillon Export File Fix v1.1')" key Return
wait_trace "OpenDialog Select Export Files to fix"
dialog=$(window 'Select Export Files to fix')
sleep 0.5
screenshot "2-open-dialog"
choose "$dialog" '"Helpers.MEF" "Clean.AEF"' 
wait_trace "Box Quillon Export File Fix v1.1: Finished!"
grep -qxF 'Box Quillon Export File Fix v1.1: Finished!\r\n\r\n2 .FIX files were successfully written.\r\n\r\nVisit www.quillon.example for further tools and utilities.' "$trace" ||
  fail "final box text"
[ "$(grep '^Chosen ' "$trace" | sed 's/.*\\//')" = "$(printf 'Helpers.MEF\nClean.AEF')" ] ||
  fail "files in the dialog's order"
screenshot "3-final-box"
press "$(window 'Quillon Export File Fix v1.1')" key Return
wait_trace "exit 0"
cmp -s "$work/Clean.AEF" "$work/Clean.fix" || fail "Clean.fix is not an identical copy"
[ -f "$work/Helpers.fix" ] && ! cmp -s "$work/Helpers.MEF" "$work/Helpers.fix" || fail "Helpers.fix"
[ ! -e "$work/Invoice Manager.fix" ] || fail "a file that was not chosen was repaired"
echo "run 1: two files repaired, final box read"

# Second run: Escape in the progress window while a large file is repaired.
rm -f "$work/Clean.fix" "$work/Helpers.fix"
start
wait_trace "Box Quillon Export File Fix v1.1: The CA-VO 2.5 version control"
press "$(window 'Quillon Export File Fix v1.1')" key Return
wait_trace "OpenDialog Select Export Files to fix"
dialog=$(window 'Select Export Files to fix')
choose "$dialog" '"Clean.AEF" "Large.AEF"' 
wait_trace "Text 102=Large.AEF"
sleep 0.7
screenshot "4-progress-window"
press "$(window 'Quillon Export File Fix v1.1')" key Escape
wait_trace "Box Quillon Export File Fix v1.1: Finished!"
if grep -qF '1 .FIX file was successfully written.' "$trace"; then
  [ ! -e "$work/Large.fix" ] || fail "the cancelled copy was left behind"
  ls "$work" | grep -q 'partial' && fail "a temporary file was left behind"
  echo "run 2: cancelled during Large.AEF, earlier count 1 reported, no copy left"
else
  fail "the run was not cancelled in time: $(grep 'Finished' "$trace")"
fi
[ -f "$work/Clean.fix" ] || fail "the copy before the cancelled one is missing"
press "$(window 'Quillon Export File Fix v1.1')" key Return
wait_trace "exit 0"
echo "exportfix.exe under Wine: both runs as expected; screenshots in $shots"
