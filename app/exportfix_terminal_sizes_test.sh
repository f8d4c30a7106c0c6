#!/usr/bin/env bash
# Drives the real exportfix in terminals of several sizes (tmux): every screen (intro box, file
# picker, progress window, warning box, final box) must show its whole frame with its buttons
# at 40x12 and 80x24 and after a resize, a smaller terminal gets a one-line notice, and a file
# name with terminal control characters is shown escaped, never obeyed.
# Usage: exportfix_terminal_sizes_test.sh EXPORTFIX MAKE_SAMPLES
set -euo pipefail
exportfix=$(realpath "$1")
make_samples=$(realpath "$2")
export TERM=xterm-256color
work=$(mktemp -d)
socket="$work/tmux.socket"
session="qef-sizes-$$"
tmux_() { tmux -S "$socket" "$@"; }
pid=""
cleanup() {
  [ -z "$pid" ] || kill -CONT "$pid" 2>/dev/null || true
  tmux_ kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

files="$work/files"
mkdir "$files"
"$make_samples" "$files" --large 96 >/dev/null
# Not an export file, and its name clears the screen and retitles the window if sent raw.
evil=$(printf 'evil\033[2J\033]0;owned\033\\.AEF')
echo junk >"$files/$evil"
export EXPORTFIX_SETTINGS="$work/no-settings.ini"

fail() {
  echo "FAILED: $*"
  echo "---- screen ($(tmux_ display-message -p -t "$session" '#{window_width}x#{window_height}')) ----"
  screen
  exit 1
}
screen() { tmux_ capture-pane -p -t "$session"; }
keys() { tmux_ send-keys -t "$session" "$@"; }
wait_for() {
  local tries=${2:-200}
  for _ in $(seq 1 "$tries"); do
    if screen | grep -qF -- "$1"; then return 0; fi
    sleep 0.1
  done
  fail "timed out waiting for: $1"
}
resize() {
  tmux_ resize-window -t "$session" -x "$1" -y "$2"
  sleep 0.3
}

# Every frame on the screen is whole: a top line, lines "| ... |" of the same width, a bottom
# line; a line too wide for the terminal would have wrapped and broken one of them.
check_frames() {
  local what="$1"
  screen | awk '
    /^\+/ {
      if (inbox) { if (length($0) != width) bad = "a bottom line of another width: " $0; inbox = 0 }
      else { inbox = 1; width = length($0); if ($0 !~ /\+$/) bad = "an open top line: " $0 }
      next
    }
    inbox && ($0 !~ /^\| / || $0 !~ / \|$/ || length($0) != width) { bad = "a broken line: " $0 }
    END { if (inbox) bad = "a frame without its bottom line"; if (bad != "") { print bad; exit 1 } }
  ' || fail "$what: broken frame"
  # The title would read "owned" had the name's control sequence reached the terminal.
  [ "$(tmux_ display-message -p -t "$session" '#{pane_title}')" != owned ] ||
    fail "$what: a control sequence from a file name reached the terminal"
}
expect() { screen | grep -qF -- "$2" || fail "$1: \"$2\" not shown"; }
# The text inside the frames, lines joined, so a name cut at the box's edge is found whole.
expect_in_box() {
  screen | sed -n 's/^| \(.*\) |$/\1/p' | sed 's/ *$//' | tr -d '\n' | grep -qF -- "$2" ||
    fail "$1: \"$2\" not shown"
}
expect_not() { ! screen | grep -qF -- "$2" || fail "$1: \"$2\" shown"; }

start() {
  tmux_ new-session -d -s "$session" -x "$1" -y "$2" -c "$files" \
    "sh -c 'echo \$\$ >\"$work/pid\"; exec \"$exportfix\"'; echo \"exportfix ended: \$?\"; sleep 60"
  wait_for "[> OK <]"
  pid=$(cat "$work/pid")
}

# Waits, with exportfix stopped, until tmux has drawn all it was sent: two captures alike.
settled() {
  local last="" now
  for _ in $(seq 1 100); do
    sleep 0.05
    now=$(screen)
    [ "$now" != "$last" ] || return 0
    last=$now
  done
}

# Holds exportfix still while the repair runs, with the progress window alone on the screen
# (and showing the text given, if any).
catch_progress() {
  local shown="${1:-Replacing invalid}"
  for _ in $(seq 1 2000); do
    kill -STOP "$pid"
    settled
    if screen | grep -qF "Replacing invalid" && screen | grep -qF -- "$shown" &&
      ! screen | grep -qF "[> OK <]"; then return 0; fi
    kill -CONT "$pid"
    if screen | grep -qF "[> OK <]"; then fail "the repair ended before its progress was seen"; fi
    sleep 0.01
  done
  fail "the repair did not start"
}

# 40x12: the smallest screen drawn.
start 40 12
check_frames "intro box at 40x12"
expect "intro box at 40x12" "Up/Down: scroll"
expect "intro box at 40x12" "[  Cancel  ]"
keys End
wait_for "overwritten)."
check_frames "intro box scrolled to its end"
keys Enter
wait_for "Select Export Files to fix"
check_frames "file picker at 40x12"
expect "file picker at 40x12" 'evil\x1b[2J\x1b]0;owned\x1b\\.'
# Entries: ../ Clean.AEF evil Helpers.MEF "Invoice Manager.AEF" Large.AEF; choose Large, then evil.
keys End Space Home Down Down Space
wait_for "2 chosen"
check_frames "file picker at 40x12 after choosing"
keys Enter
catch_progress
check_frames "progress window at 40x12"
expect "progress window at 40x12" "Large.AEF"
expect "progress window at 40x12" "[ Cancel ]"
kill -CONT "$pid"
wait_for "valid Export File" 600
check_frames "warning box at 40x12"
expect "warning box at 40x12" "[> OK <]"
expect_in_box "warning box at 40x12" 'evil\x1b[2J\x1b]0;owned\x1b\\.AEF'
keys Enter
wait_for "Finished!"
check_frames "final box at 40x12"
expect "final box at 40x12" "[> OK <]"
resize 39 12
wait_for "Terminal too small: 39x12, need 40x12"
[ "$(screen | grep -c .)" = 1 ] || fail "the notice is not one line"
resize 40 12
wait_for "[> OK <]"
check_frames "final box back at 40x12"
keys Enter
wait_for "exportfix ended: 0"
tmux_ kill-server
rm -f "$files"/*.fix

# 80x24 and resizes: the intro box from 100x30 to 60x20, the progress window and the warning
# box across resizes, the picker and the final box at 80x24.
start 100 30
check_frames "intro box at 100x30"
resize 60 20
wait_for "+- Quillon Export File Fix v1.1 ---------------------------+"
check_frames "intro box resized to 60x20"
expect "intro box resized to 60x20" "[> OK <]"
resize 80 24
wait_for "+- Quillon Export File Fix v1.1 -----------------------------------+"
check_frames "intro box at 80x24"
[ "$(screen | grep -cF "Quillon Export File Fix v1.1")" = 2 ] ||
  fail "intro box at 80x24: not below the progress window"
expect_not "intro box at 80x24" "Up/Down: scroll"
keys Enter
wait_for "Select Export Files to fix"
check_frames "file picker at 80x24"
expect "file picker at 80x24" "Helpers.MEF"
keys End Space Home Down Down Space
wait_for "2 chosen"
resize 100 30
check_frames "file picker at 100x30"
resize 60 20
check_frames "file picker resized to 60x20"
expect "file picker resized to 60x20" "2 chosen"
resize 80 24
keys Enter
catch_progress
check_frames "progress window at 80x24"
expect "progress window at 80x24" "Large.AEF"
resize 60 20
kill -CONT "$pid"
# The resize reaches exportfix as it goes on; its next drawing is laid out for 60 columns.
catch_progress "+- Quillon Export File Fix v1.1 ---------------------------+"
check_frames "progress window resized to 60x20"
kill -CONT "$pid"
wait_for "valid Export File" 600
resize 100 30
check_frames "warning box at 100x30"
resize 60 20
check_frames "warning box resized to 60x20"
expect "warning box resized to 60x20" "[> OK <]"
resize 30 10
wait_for "Terminal too small: 30x10"
resize 80 24
wait_for "[> OK <]"
check_frames "warning box at 80x24"
expect_in_box "warning box at 80x24" 'evil\x1b[2J\x1b]0;owned\x1b\\.AEF'
expect "warning box at 80x24" "valid Export File"
keys Enter
wait_for "1 .FIX file was successfully written."
check_frames "final box at 80x24"
keys Enter
wait_for "exportfix ended: 0"
echo "exportfix in a terminal: every screen fits at 40x12, 80x24 and across resizes"
