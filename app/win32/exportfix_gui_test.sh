#!/usr/bin/env bash
# Drives the real exportfix.exe under Wine and Xvfb with xdotool: a run that repairs two files
# chosen in the real open dialog, and a run cancelled with Escape during a large file. Reads
# what the program showed from its box trace (QEF_UI_TRACE) and keeps screenshots.
# Usage: exportfix_gui_test.sh EXPORTFIX_EXE MAKE_SAMPLES SCREENSHOT_DIR
# QEF_WINE names the Wine loader for the program's build (default: wine).
set -euo pipefail
wine=${QEF_WINE:-wine}
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
# Keeps a screenshot of the step and fails unless every visible window of the program is painted:
# a window that has not drawn itself is a black rectangle, so at most half of a window's pixels
# may be black (text and frames are dark too, but never most of a window).
# Under Wine on Xvfb a message box that follows another one while the modeless progress window
# is shown stays black on the screen although the box drew itself: its X window holds the
# painted image (xwd -id) while the screen does not show it; a plain Win32 program of a modeless
# dialog and two message boxes does the same, and on Windows the box is painted. So the screen
# is put together as Windows would show it: each window's own image, from the bottom one up
# (xdotool lists them in stacking order), pasted over the root window's image.
painted() {
  local attempt
  # A window may still be drawing itself: it gets a few seconds, as a user would.
  for attempt in $(seq 1 25); do
    unpainted "$1" >/dev/null || { echo "$1: every window of the program painted"; return 0; }
    sleep 0.2
  done
  fail "$1: $(unpainted "$1")"
}
# Takes the screenshot of the step; prints the first black window and succeeds if there is one.
unpainted() {
  local step=$1 shot="$work/screen.pnm" id X Y WIDTH HEIGHT SCREEN WINDOW total black windows=0
  local screen_width screen_height right bottom ids
  xwd -root -silent | xwdtopnm > "$shot" 2>/dev/null
  read -r screen_width screen_height < <(pamfile "$shot" | sed 's/.* \([0-9]*\) by \([0-9]*\).*/\1 \2/')
  ids=$(xdotool search --onlyvisible --classname 'exportfix' 2>/dev/null || true)
  for id in $ids; do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    # A window wholly on the screen can be read by itself.
    if ((X >= 0 && Y >= 0 && X + WIDTH <= screen_width && Y + HEIGHT <= screen_height)) &&
      xwd -id "$id" -silent 2>/dev/null | xwdtopnm > "$work/window.pnm" 2>/dev/null; then
      pnmpaste "$work/window.pnm" "$X" "$Y" "$shot" > "$work/pasted.pnm" 2>/dev/null &&
        mv "$work/pasted.pnm" "$shot"
    fi
  done
  pnmtopng < "$shot" > "$shots/$step.png" 2>/dev/null || true
  for id in $ids; do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    # Only the part on the screen; Wine's own helper windows are a pixel or two.
    right=$((X + WIDTH < screen_width ? X + WIDTH : screen_width))
    bottom=$((Y + HEIGHT < screen_height ? Y + HEIGHT : screen_height))
    X=$((X > 0 ? X : 0)) Y=$((Y > 0 ? Y : 0))
    ((right - X >= 8 && bottom - Y >= 8)) || continue
    windows=$((windows + 1))
    read -r total black < <(pamcut -left "$X" -top "$Y" -right $((right - 1)) -bottom $((bottom - 1)) "$shot" |
      ppmtopgm | pgmhist -machine | awk '{ all += $2; if ($1 < 16) dark += $2 } END { print all + 0, dark + 0 }')
    if ((black * 2 >= total)); then
      echo "the window \"$(xdotool getwindowname "$id")\" at $X,$Y is black ($black of $total pixels)"
      return 0
    fi
  done
  ((windows > 0)) || { echo "no window of the program on the screen"; return 0; }
  return 1
}
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
# Starts the program in the work folder with the given arguments.
start() {
  rm -f "$trace"
  (cd "$work" && QEF_UI_TRACE="$trace" "$wine" "$exe" "$@" >/dev/null 2>&1; echo "exit $?" >> "$trace") &
}

# First run: two files, repaired in the dialog's order.
start
wait_trace "Box Quillon Export File Fix v1.1: The CA-VO 2.5 version control"
sleep 0.5
painted "1-intro"
press "$(window 'Quillon Export File Fix v1.1')" key Return
wait_trace "OpenDialog Select Export Files to fix"
dialog=$(window 'Select Export Files to fix')
sleep 0.5
painted "2-open-dialog"
choose "$dialog" '"Helpers.MEF" "Clean.AEF"' 
wait_trace "Box Quillon Export File Fix v1.1: Finished!"
grep -qxF 'Box Quillon Export File Fix v1.1: Finished!\r\n\r\n2 .FIX files were successfully written.\r\n\r\nVisit www.quillon.example for further tools and utilities.' "$trace" ||
  fail "final box text"
[ "$(grep '^Chosen ' "$trace" | sed 's/.*\\//')" = "$(printf 'Helpers.MEF\nClean.AEF')" ] ||
  fail "files in the dialog's order"
painted "3-final-box"
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
painted "4-progress-window"
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
painted "5-final-box-after-cancel"
press "$(window 'Quillon Export File Fix v1.1')" key Return
wait_trace "exit 0"

# Third run: files given as arguments (dropped on the icon), one of them by a relative name;
# no file dialog.
rm -f "$work"/*.fix
start Helpers.MEF "Z:${work//\//\\}\\Invoice Manager.AEF"
wait_trace "Box Quillon Export File Fix v1.1: The CA-VO 2.5 version control"
press "$(window 'Quillon Export File Fix v1.1')" key Return
wait_trace "Box Quillon Export File Fix v1.1: Finished!"
grep -qF '2 .FIX files were successfully written.' "$trace" || fail "final box with files given"
! grep -q '^OpenDialog' "$trace" || fail "the file dialog came up although files were given"
painted "6-final-box-files-given"
press "$(window 'Quillon Export File Fix v1.1')" key Return
wait_trace "exit 0"
[ -f "$work/Helpers.fix" ] && [ -f "$work/Invoice Manager.fix" ] || fail "a given file was not repaired"
[ ! -e "$work/Clean.fix" ] || fail "a file that was not given was repaired"
echo "run 3: the two files given as arguments repaired after the intro, exit 0"

# Fourth run: a given file that cannot be read ends the run in a warning box.
rm -f "$work"/*.fix
start Clean.AEF Missing.AEF Helpers.MEF
wait_trace "Box Quillon Export File Fix v1.1: The CA-VO 2.5 version control"
press "$(window 'Quillon Export File Fix v1.1')" key Return
wait_trace "Box Error: Error reading "
painted "7-warning-box"
press "$(window 'Error')" key Return
wait_trace "Box Quillon Export File Fix v1.1: Finished!"
grep -qF '1 .FIX file was successfully written.' "$trace" || fail "final box after the warning"
press "$(window 'Quillon Export File Fix v1.1')" key Return
wait_trace "exit 0"
[ -f "$work/Clean.fix" ] && [ ! -e "$work/Helpers.fix" ] || fail "the run did not end at the failing file"
echo "run 4: warning box for the missing file, the run ended there"
echo "exportfix.exe under Wine: all runs as expected; screenshots in $shots"
