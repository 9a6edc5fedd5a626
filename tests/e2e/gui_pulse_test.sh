#!/usr/bin/env bash
# tapewise, the desktop program, end to end, as a user drives it. Run under xvfb-run with a
# private PulseAudio server that this test starts and stops itself:
#   1. a tape played into the virtual tape input fills the block list;
#   1b. the sound server dies: one message box, the blocks stay, and when the server is back
#       Tapewise records again by itself;
#   2. Escape with unsaved blocks asks first; answering No keeps the program running;
#   3. "&Save as ..." (Alt+S), a typed path and Enter save the blocks: the file equals the tape's
#      original image byte for byte;
#   4. Escape after that save ends the program at once, with status 0, asking nothing.
# Usage: gui_pulse_test.sh TAPEWISE PULSE_TEST_SERVER_SCRIPT MAKE_DEMO_TAPE_SCRIPT WORK_DIR
set -euo pipefail

tapewise="$1"
server="$2"
make_tape="$3"
work="$4"
. "$(dirname "${BASH_SOURCE[0]}")/gui_test_setup.sh"

# The visible top-level windows titled exactly "Tapewise": the main window, and a message box.
tapewise_windows() { xdotool search --onlyvisible --name '^Tapewise$' 2>/dev/null | wc -l; }
windows_are() { [ "$(tapewise_windows)" -eq "$1" ]; }
blocks_loaded() { [ "$(grep -c '^file complete' app.err)" -ge "$1" ]; }
running() { kill -0 "$app_pid" 2>/dev/null; }
# Visible windows of the program that are not the main window (dialogs, message boxes).
other_windows() { xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -vx "$main_window" | grep -c . ; }
a_dialog_is_up() { [ "$(other_windows)" -ge 1 ]; }
not_running() { ! running; }
# Tapewise records from the server: its record stream exists.
recording() { pactl list short source-outputs 2>/dev/null | grep -q .; }
# Without a window manager there is no active window, only the keyboard focus.
saved_as_tape() { cmp -s saved.tap "$work/tape/tape.tap"; }

"$make_tape" "$work/tape"
"$server" start "$work/server" tape
eval "$("$server" env "$work/server")"

TAPEWISE_DEBUG=1 "$tapewise" 2> app.err &
app_pid=$!
wait_for 20 windows_are 1 || fail "the main window did not appear"
main_window="$(xdotool search --onlyvisible --name '^Tapewise$' | head -1)"
wait_for 10 recording || fail "tapewise did not start recording"

echo "== playing the tape"
paplay "$work/tape/tape.wav"
# On a busy machine the window may be seconds behind the sound; the samples wait for it.
wait_for 30 blocks_loaded 4 || fail "the four blocks of the tape did not load"

echo "== the sound server goes away and comes back"
"$server" kill "$work/server"
wait_for 10 windows_are 2 || fail "losing the sound input was not told"
lost_box="$(xdotool search --onlyvisible --name '^Tapewise$' | grep -vx "$main_window" | head -1)"
focus "$lost_box" || fail "the message box did not take the focus"
xdotool key --clearmodifiers Return
wait_for 5 windows_are 1 || fail "the message box did not close"
running || fail "losing the sound input ended the program"
"$server" start "$work/server" tape
wait_for 10 recording || fail "tapewise did not record again when the server came back"
windows_are 1 || fail "a second message box came up"

echo "== Escape with unsaved blocks"
key_to_main Escape
wait_for 5 windows_are 2 || fail "ending with unsaved blocks did not ask"
running || fail "the program ended without asking"
question="$(xdotool search --onlyvisible --name '^Tapewise$' | grep -vx "$main_window" | head -1)"
focus "$question" || fail "the question did not take the focus"
xdotool key --clearmodifiers Escape  # the question's No
wait_for 5 windows_are 1 || fail "the question did not close"
sleep 0.5  # nothing to wait for: an end would come at once
running || fail "answering No ended the program"

echo "== Save as"
key_to_main alt+s
wait_for 15 a_dialog_is_up || fail "Alt+S opened no file dialog"
dialog="$(xdotool search --onlyvisible --pid "$app_pid" | grep -vx "$main_window" | head -1)"
focus "$dialog" || fail "the file dialog did not take the focus"
# The file name box has the focus in a new file dialog; keys reach it in the order typed.
xdotool type --delay 30 "$work/saved.tap"
xdotool key --clearmodifiers Return
wait_for 10 test -s saved.tap || fail "Save as wrote no file"
wait_for 5 saved_as_tape || {
  cmp saved.tap "$work/tape/tape.tap"
  fail "the saved image differs from the tape's image"
}
wait_for 5 windows_are 1 || fail "the file dialog did not close"

echo "== Escape after saving"
key_to_main Escape
wait_for 5 not_running || fail "the program did not end after Escape with everything saved"
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "PASS"
