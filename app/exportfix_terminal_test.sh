#!/usr/bin/env bash
# Drives the real exportfix in a terminal (tmux): confirms the intro box, chooses two sample
# files in the file picker, lets the run finish and reads the final box.
# Usage: exportfix_terminal_test.sh EXPORTFIX MAKE_SAMPLES
set -euo pipefail
exportfix=$(realpath "$1")
make_samples=$(realpath "$2")
export TERM=xterm-256color
work=$(mktemp -d)
session="qef-test-$$"
socket="$work/tmux.socket"
tmux_() { tmux -S "$socket" "$@"; }
cleanup() {
  tmux_ kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$make_samples" "$work" >/dev/null
export EXPORTFIX_SETTINGS="$work/no-settings.ini"
tmux_ new-session -d -s "$session" -x 100 -y 40 -c "$work" \
  "'$exportfix'; echo \"exportfix ended: \$?\"; sleep 60"

screen() { tmux_ capture-pane -p -t "$session"; }
wait_for() {
  for _ in $(seq 1 200); do
    if screen | grep -qF -- "$1"; then return 0; fi
    sleep 0.1
  done
  echo "timed out waiting for: $1"
  echo "---- screen ----"
  screen
  exit 1
}
keys() { tmux_ send-keys -t "$session" "$@"; }

wait_for "This program will replace invalid characters"
wait_for "[> OK <]"
keys Enter
wait_for "Select Export Files to fix"
wait_for "Invoice Manager.AEF"
# The picker lists ../ first, then Clean.AEF, Helpers.MEF, Invoice Manager.AEF.
keys Down Space Space
wait_for "2 chosen"
keys Enter
wait_for "2 .FIX files were successfully written."
wait_for "Quillon Export File Fix v1.1"
[ -z "${SHOW_SCREEN:-}" ] || screen
keys Enter
wait_for "exportfix ended: 0"

test -f "$work/Clean.fix" || { echo "Clean.fix missing"; exit 1; }
test -f "$work/Helpers.fix" || { echo "Helpers.fix missing"; exit 1; }
test ! -e "$work/Invoice Manager.fix" || { echo "an unchosen file was repaired"; exit 1; }
cmp "$work/Clean.AEF" "$work/Clean.fix"
if cmp -s "$work/Helpers.MEF" "$work/Helpers.fix"; then
  echo "Helpers.fix was not repaired"
  exit 1
fi

# StrictNames=1 in the settings file: the module name CON is mended to CO-, and a module that
# other readers take for an earlier one (its name ends at the zero byte) gets a counter. Answers
# as lines.
header='\x01\x00\x31\x00\x00\x00\x80CA-VO 2.5 Export File, test data                '
printf "${header}"'\x20\x00\x04\x00\x00\x00CON\x00\x20\x00\x0F\x00\x00\x00Report/Print\x00\x01\x00\x20\x00\x0D\x00\x00\x00Report:Print\x00' >"$work/n.AEF"
printf "${header}"'\x20\x00\x04\x00\x00\x00CO-\x00\x20\x00\x0F\x00\x00\x00Report-Print\x00\x01\x00\x20\x00\x0D\x00\x00\x00Report-Prin1\x00' >"$work/n.expected"
printf '[Quillon Pack 2\\Export Fix]\nStrictNames=1\n' >"$work/strict.ini"
(cd "$work" && printf 'ok\nn.AEF\n\n\n' | EXPORTFIX_SETTINGS="$work/strict.ini" "$exportfix" >/dev/null)
cmp "$work/n.expected" "$work/n.fix"

# Files named on the command line, in line mode: the intro, then those files in their order,
# without the picker; a relative name is found in the current folder.
rm -f "$work"/*.fix
mkdir "$work/sub"
mv "$work/Helpers.MEF" "$work/sub/"
(cd "$work" && printf '\n\n' | "$exportfix" "sub/Helpers.MEF" "$work/Clean.AEF" > "$work/given.txt" 2>&1) ||
  { echo "exportfix with files failed"; cat "$work/given.txt"; exit 1; }
grep -qF "This program will replace invalid characters" "$work/given.txt" ||
  { echo "no intro box with files given"; cat "$work/given.txt"; exit 1; }
! grep -qF "Select Export Files to fix" "$work/given.txt" ||
  { echo "the picker came up although files were given"; exit 1; }
grep -qF "2 .FIX files were successfully written." "$work/given.txt" ||
  { echo "final box with files given"; cat "$work/given.txt"; exit 1; }
cmp "$work/Clean.AEF" "$work/Clean.fix"
test -f "$work/sub/Helpers.fix" || { echo "sub/Helpers.fix missing"; exit 1; }
test ! -e "$work/Invoice Manager.fix" || { echo "a file not given was repaired"; exit 1; }

# SIGTERM while a box waits: the box closes, the terminal is given back (main screen, cursor
# shown) and the status is 128 + 15.
tmux_ kill-session -t "$session"
tmux_ new-session -d -s "$session" -x 100 -y 40 -c "$work" \
  "'$exportfix'; echo \"exportfix ended: \$?\"; sleep 60"
wait_for "This program will replace invalid characters"
[ "$(tmux_ display -p -t "$session" '#{alternate_on}')" = 1 ] ||
  { echo "exportfix did not take the alternate screen"; exit 1; }
shell=$(tmux_ display -p -t "$session" '#{pane_pid}')
program=$(pgrep -P "$shell" -x exportfix || true)
[ -n "$program" ] || { echo "exportfix not found under the pane's shell $shell"; exit 1; }
kill -TERM "$program"
wait_for "exportfix ended: 143"
state=$(tmux_ display -p -t "$session" '#{alternate_on} #{cursor_flag}')
[ "$state" = "0 1" ] || { echo "terminal not restored after SIGTERM (alternate, cursor: $state)"; exit 1; }

# Answers from the terminal, output to a file: the questions are asked on the terminal.
tmux_ kill-session -t "$session"
tmux_ new-session -d -s "$session" -x 100 -y 40 -c "$work" \
  "'$exportfix' Clean.AEF > '$work/redirected.txt'; echo \"exportfix ended: \$?\"; sleep 60"
wait_for "This program will replace invalid characters"
wait_for "[ OK ]  [ Cancel ] >"
keys Enter
wait_for "1 .FIX file was successfully written."
keys Enter
wait_for "exportfix ended: 0"
! grep -qF "This program will replace" "$work/redirected.txt" ||
  { echo "the questions went into the redirected output"; exit 1; }
echo "exportfix in a terminal: intro, picker, run and final box as expected; StrictNames read; files given too; SIGTERM restores the terminal; questions on the terminal"
