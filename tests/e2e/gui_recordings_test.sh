#!/usr/bin/env bash
# tapewise loads recordings as a user would, under a virtual X server with a private PulseAudio:
#   0. with no sound server at all, `tapewise REC1.wav` says there is no sound input, then loads the
#      recording; a row deleted and undone (Ctrl+Z) is saved with the rest (Ctrl+Shift+S), as
#      `tapewise-cli decode` saves them, and Save as onto the recording leaves it as it was;
#   1. `tapewise REC1.wav` (44.1 kHz stereo, 16 bits) loads the recording named on the command line;
#   2. "&Load ..." (Alt+L), a typed path and Enter load a second recording (a FLAC at 48 kHz);
#   3. "&Save as ..." (Alt+S) with nothing selected, a typed path and Enter: the file holds exactly
#      what `tapewise-cli decode` loads from the two recordings;
#   4. the window grows, and the block list grows with it;
#   5. in archive mode, a 44.1 kHz recording of turbo blocks saved as TZX holds exactly what
#      `tapewise-cli decode --archive` saves: both decode it at its own rate.
# Usage: gui_recordings_test.sh TAPEWISE TAPEWISE_CLI PULSE_TEST_SERVER_SCRIPT MAKE_DEMO_TAPE_SCRIPT WORK_DIR
set -euo pipefail

tapewise="$1"
cli="$2"
server="$3"
make_tape="$4"
work="$5"
. "$(dirname "${BASH_SOURCE[0]}")/gui_test_setup.sh"

main_is_up() { xdotool search --onlyvisible --name '^Tapewise$' >/dev/null 2>&1; }
loaded_from() { grep -q "^Loaded .* from $1\$" app.err; }
other_windows() { xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -vx "$main_window" | grep -c . ; }
a_dialog_is_up() { [ "$(other_windows)" -ge 1 ]; }
no_dialog_is_up() { [ "$(other_windows)" -eq 0 ]; }
# type_into_dialog TEXT: the file dialog that just opened takes the path and Enter.
type_into_dialog() {
  wait_for 15 a_dialog_is_up || fail "no file dialog opened"
  local dialog
  dialog="$(xdotool search --onlyvisible --pid "$app_pid" | grep -vx "$main_window" | head -1)"
  focus "$dialog" || fail "the file dialog did not take the focus"
  xdotool type --delay 20 "$1"
  xdotool key --clearmodifiers Return
  wait_for 10 no_dialog_is_up || fail "the file dialog did not close"
}

# Two recordings in formats other than the capture's: the demo tape as 44.1 kHz stereo WAV, and
# its picture alone as a 48 kHz FLAC.
"$make_tape" "$work/tape"
sox -V1 "$work/tape/tape.wav" -r 44100 -c 2 -b 16 -e signed rec1.wav
tape2wav -r 350000 "$work/tape/screen.tap" screen350.wav
sox -V1 screen350.wav -r 48000 -c 1 -b 16 rec2.flac vol 0.6
rm -f screen350.wav
"$cli" decode rec1.wav rec2.flac -o expected.tap >/dev/null 2>&1
[ -s expected.tap ] || fail "tapewise-cli loaded nothing from the recordings"

# answer_boxes: Enter on every window of the app but the main one, until none is left.
answer_boxes() {
  local box
  for _ in 1 2 3 4 5; do
    box="$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -vx "$main_window" | head -1)"
    [ -z "$box" ] && return 0
    focus "$box" || true
    xdotool key --clearmodifiers Return
    sleep 0.5
  done
  no_dialog_is_up
}

echo "== no sound server: the message, then the recording"
"$cli" decode rec1.wav -o expected1.tap >/dev/null 2>&1
cp rec1.wav rec1.orig
main_window=none
PULSE_SERVER="unix:$work/no-server" TAPEWISE_DEBUG=1 XDG_CONFIG_HOME="$work/config-alone" \
  "$tapewise" "$work/rec1.wav" 2> app.err &
app_pid=$!
app_window_is_up() { xdotool search --onlyvisible --pid "$app_pid" >/dev/null 2>&1; }
wait_for 20 app_window_is_up || fail "nothing appeared without a sound server"
message="$(xdotool search --onlyvisible --pid "$app_pid" | head -1)"
focus "$message" || fail "the message did not take the focus"
xdotool key --clearmodifiers Return
# The message is titled "Tapewise" too: the main window is the one that comes after it has gone.
message_gone() { ! xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -qx "$message"; }
wait_for 10 message_gone || fail "the message did not close"
wait_for 20 main_is_up || fail "the main window did not appear after the message"
main_window="$(xdotool search --onlyvisible --name '^Tapewise$' | head -1)"
wait_for 20 loaded_from rec1.wav || fail "rec1.wav did not load without a sound server"
grep -q "^No sound input: files can be opened, not recorded\$" app.err || fail "the status bar did not say why nothing records"
eval "$(xdotool getwindowgeometry --shell "$main_window")"
xdotool mousemove $((X + 60)) $((Y + 150)) click 1
key_to_main Home Delete ctrl+z ctrl+shift+s
type_into_dialog "$work/saved1.tap"
wait_for 10 test -s saved1.tap || fail "Ctrl+Shift+S wrote no file"
cmp saved1.tap expected1.tap || fail "after Delete and Ctrl+Z the saved image differs from tapewise-cli decode's"
key_to_main ctrl+shift+s
wait_for 15 a_dialog_is_up || fail "no file dialog opened"
focus "$(xdotool search --onlyvisible --pid "$app_pid" | grep -vx "$main_window" | head -1)"
xdotool type --delay 20 "$work/rec1.wav"
xdotool key --clearmodifiers Return
sleep 1
answer_boxes || fail "a question stayed up after Save as onto the recording"
cmp rec1.wav rec1.orig || fail "Save as replaced the recording that was loaded"
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""

"$server" start "$work/server" tape
eval "$("$server" env "$work/server")"

TAPEWISE_DEBUG=1 XDG_CONFIG_HOME="$work/config" "$tapewise" "$work/rec1.wav" 2> app.err &
app_pid=$!
wait_for 20 main_is_up || fail "the main window did not appear"
main_window="$(xdotool search --onlyvisible --name '^Tapewise$' | head -1)"

echo "== the recording named on the command line"
wait_for 20 loaded_from rec1.wav || fail "rec1.wav did not load"

echo "== Load ... typed from the keyboard"
key_to_main alt+l
type_into_dialog "$work/rec2.flac"
wait_for 20 loaded_from rec2.flac || fail "rec2.flac did not load"

echo "== Save as ... with nothing selected"
key_to_main alt+s
type_into_dialog "$work/saved.tap"
wait_for 10 test -s saved.tap || fail "Save as wrote no file"
cmp saved.tap expected.tap || fail "the saved image differs from what tapewise-cli decode loads"
grep -q "^Saved [0-9]* blocks to saved.tap\$" app.err || fail "the status bar did not tell what was saved"

echo "== the window grows, the block list with it"
xdotool windowsize "$main_window" 900 700
list_fills() {
  local geometry
  geometry="$(xdotool getwindowgeometry "$main_window" | awk '/Geometry/ {print $2}')"
  [ "$geometry" = "900x700" ] && grep -q "^block list [0-9]*x[0-9]*" <(tail -n 50 app.err)
}
wait_for 5 list_fills || fail "the window did not take the new size"
read -r width height < <(grep "^block list " app.err | tail -1 | sed 's/block list \([0-9]*\)x\([0-9]*\)/\1 \2/')
[ "$width" -ge 700 ] && [ "$height" -ge 560 ] || fail "the block list is ${width}x${height} in a 900x700 window"

kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""

echo "== archive mode: turbo blocks at 44.1 kHz, saved as TZX"
# Two turbo blocks (TZX block 0x11), the second with a 0-bit of 350 T-states.
python3 - turbo.tzx <<'PY'
import random, struct, sys
random.seed(18)
tzx = bytearray(b"ZXTape!\x1a\x01\x14")
for flag, size, pilot, sync1, sync2, zero, one, pulses in (
        (0xFF, 300, 1600, 400, 450, 500, 1000, 1500), (0x55, 200, 1200, 300, 320, 350, 700, 1200)):
    data = bytes([flag]) + bytes(random.getrandbits(8) for _ in range(size))
    checksum = 0
    for byte in data:
        checksum ^= byte
    data += bytes([checksum])
    tzx += bytes([0x11]) + struct.pack("<HHHHHHBH", pilot, sync1, sync2, zero, one, pulses, 8, 1000)
    tzx += struct.pack("<I", len(data))[:3] + data
open(sys.argv[1], "wb").write(tzx)
PY
tape2wav -r 44100 turbo.tzx turbo8.wav
sox -V1 turbo8.wav -b 16 turbo.wav vol 0.5
rm -f turbo8.wav
"$cli" decode --archive turbo.wav -o expected.tzx >/dev/null 2>&1
[ -s expected.tzx ] || fail "tapewise-cli --archive loaded nothing from the turbo recording"
mkdir -p "$work/config-archive/tapewise"
printf '[decoder]\narchive=true\n' > "$work/config-archive/tapewise/tapewise.conf"
TAPEWISE_DEBUG=1 XDG_CONFIG_HOME="$work/config-archive" "$tapewise" "$work/turbo.wav" 2> app.err &
app_pid=$!
wait_for 20 main_is_up || fail "the main window did not appear in archive mode"
main_window="$(xdotool search --onlyvisible --name '^Tapewise$' | head -1)"
wait_for 20 loaded_from turbo.wav || fail "turbo.wav did not load"
key_to_main alt+s
type_into_dialog "$work/saved.tzx"
wait_for 10 test -s saved.tzx || fail "Save as wrote no TZX"
cmp saved.tzx expected.tzx || fail "the saved TZX differs from what tapewise-cli decode --archive saves"

kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""
echo "PASS"
