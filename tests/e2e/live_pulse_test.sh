#!/usr/bin/env bash
# tapewise-cli live against real PulseAudio servers that this test starts and stops itself:
#   1. no server: the server cannot be reached, and why; a server whose only source is a monitor:
#      "No sound input device on machine";
#   2. a tape played into the virtual tape input loads byte for byte, each block at most two
#      buffer periods after the sound ended, and listening costs under 2 % of one core;
#   3. the program's main thread held for 8 s while the tape plays (as a busy machine holds it):
#      no sample is lost, every block loads once the thread goes on;
#   4. the server killed in the middle of the tape: blocks loaded before are kept, the program
#      goes on, and it records again from a new server.
# Usage: live_pulse_test.sh TAPEWISE_CLI PULSE_TEST_SERVER_SCRIPT WORK_DIR
set -euo pipefail

cli="$1"
server="$2"
work="$3"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for dir in "$work"/server-*; do
    [ -d "$dir" ] && "$server" stop "$dir"
  done
  return 0
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  for file in live.err lines.txt; do
    [ -f "$file" ] && { echo "--- $file"; cat "$file"; } >&2
  done
  exit 1
}

. "$(dirname "${BASH_SOURCE[0]}")/wait_for.sh"

make_tape() {
  printf '10 REM tapewise live test\n20 PRINT "HELLO"\n30 GO TO 20\n' > prog.bas
  zmakebas -a 10 -n live -o prog.tap prog.bas
  {
    echo "org 32768"
    echo "start: ld a,2"
    echo " ret"
    echo " defb 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16"
    echo "end start"
  } > code.asm
  pasmo --tap code.asm code.tap
  cat prog.tap code.tap > tape.tap
  # Rendered at 350000 Hz so that every edge lands where the ROM timing puts it, then taken down
  # to the recording format. The pause after the last block (a held level, one second) is cut
  # to 0.1 s and followed by a slow tone: its turning points end the last block, which a held
  # level cannot do. So the last block ends 0.6 s before the sound does.
  tape2wav -r 350000 tape.tap tape350.wav
  sox -V1 tape350.wav -r 22000 -c 1 -e unsigned -b 8 tape22.wav vol 0.5 trim 0 -0.9
  sox -V1 -n -r 22000 -c 1 -e unsigned -b 8 closing.wav synth 0.5 square 300 vol 0.5
  sox -V1 tape22.wav closing.wav tape.wav
}

start_server() {
  "$server" start "$work/server-$1" "${2:-tape}"
  eval "$("$server" env "$work/server-$1")"
}

# Starts live in the background; its entry lines go to lines.txt, each with the time it arrived.
start_live() {
  rm -f out.fifo lines.txt live.err
  mkfifo out.fifo
  "$cli" live "$@" > out.fifo 2> live.err &
  live_pid=$!
  pids+=("$live_pid")
  while IFS= read -r line; do
    printf '%s\t%s\n' "$(date +%s.%N)" "$line"
  done < out.fifo > lines.txt &
  pids+=($!)
}

line_count() { wc -l < lines.txt; }
has_lines() { [ "$(line_count)" -ge "$1" ]; }

make_tape

echo "== no server"
(
  export PULSE_SERVER="unix:$work/no-server/native" PULSE_CLIENTCONFIG=/dev/null
  set +e
  "$cli" live --seconds 2 > none.out 2> none.err
  echo $? > none.status
)
[ "$(cat none.status)" -ne 0 ] || fail "no server: exit status 0"
grep -qx 'tapewise-cli: cannot reach the sound server: .*' none.err || fail "no server: $(cat none.err)"

echo "== a monitor only"
start_server monitor monitor-only
set +e
"$cli" live --seconds 2 > monitor.out 2> monitor.err
status=$?
set -e
"$server" stop "$work/server-monitor"
[ "$status" -ne 0 ] || fail "monitor only: exit status 0"
[ "$(cat monitor.err)" = "No sound input device on machine" ] || fail "monitor only: $(cat monitor.err)"

echo "== a tape played into the input"
start_server a
# Nothing loads in two seconds of silence: an older output is left as decode -o leaves it.
printf 'older' > older.tap
"$cli" live -o older.tap --seconds 2 > older.out 2> older.err || fail "silence: exit status $?"
[ "$(cat older.tap)" = older ] || fail "live with nothing loaded rewrote older.tap"
grep -qx 'tapewise-cli: no block loaded; older.tap left as it was' older.err ||
  fail "silence: $(cat older.err)"
start_live -o loaded.tap --seconds 60
sleep 1
# Listening to silence first: the reader must block, not spin.
ticks_before=$(awk '{print $14 + $15}' "/proc/$live_pid/stat")
sleep 8
ticks_after=$(awk '{print $14 + $15}' "/proc/$live_pid/stat")
hz=$(getconf CLK_TCK)
idle_percent=$(awk -v t=$((ticks_after - ticks_before)) -v hz="$hz" 'BEGIN {printf "%.2f", 100 * t / hz / 8}')
echo "idle listening: ${idle_percent} % of one core"
awk -v p="$idle_percent" 'BEGIN {exit !(p < 2)}' || fail "idle listening costs ${idle_percent} %"

paplay tape.wav
played_end=$(date +%s.%N)
wait_for 5 has_lines 4 || fail "the tape did not load 4 blocks"
cmp loaded.tap tape.tap || fail "loaded.tap differs from the tape"
last_line=$(tail -n 1 lines.txt | cut -f1)
delay=$(awk -v a="$last_line" -v b="$played_end" 'BEGIN {printf "%.2f", a - (b - 0.6)}')
echo "last block listed ${delay} s after its last bit was played"
awk -v d="$delay" 'BEGIN {exit !(d <= 2.0)}' || fail "last block listed ${delay} s after its end"
kill -INT "$live_pid"
wait "$live_pid" || fail "live ended with status $? on Ctrl-C"
[ "$(line_count)" -eq 4 ] || fail "expected 4 entry lines"
grep -q '^prog' <(cut -f2- lines.txt) || fail "no program header line"
"$server" stop "$work/server-a"

echo "== the main thread held while the tape plays"
start_server held
start_live -o held.tap --seconds 90
sleep 1
paplay tape.wav &
player=$!
pids+=("$player")
sleep 2
# gdb stops every thread when it attaches; the sound server's and the reader's go on at once,
# the main thread stays stopped for 8 s, longer than the capture's buffers last.
timeout 60 gdb -q -batch -ex "set non-stop on" -ex "attach $live_pid" \
  -ex "thread 2" -ex "continue &" -ex "thread 3" -ex "continue &" \
  -ex "shell sleep 8" -ex "detach" > gdb.out 2>&1 || fail "gdb could not hold live: $(cat gdb.out)"
kill -CONT "$live_pid"
wait "$player"
wait_for 30 has_lines 4 || fail "after the main thread was held the tape did not load 4 blocks"
cmp held.tap tape.tap || fail "samples were lost while the main thread was held"
kill -INT "$live_pid"
wait "$live_pid" || fail "live ended with status $? after being held"
"$server" stop "$work/server-held"

echo "== the server dies in the middle of the tape"
start_server b
start_live -o kept.tap --seconds 90
sleep 1
paplay tape.wav 2>/dev/null &
player=$!
pids+=("$player")
wait_for 30 has_lines 2 || fail "the first two blocks did not load"
"$server" kill "$work/server-b"
wait "$player" 2>/dev/null || true
sleep 3
kill -0 "$live_pid" 2>/dev/null || fail "live ended when the server went away"
cmp kept.tap prog.tap || fail "the blocks loaded before the loss are not kept"
grep -q '^Error [0-9]* for waveIn' live.err || fail "the loss was not reported"
[ "$(grep -c '^Error' live.err)" -eq 1 ] || fail "the loss was reported more than once"

start_server b
wait_for 10 grep -q 'capture started again' live.err || fail "capture did not start again"
paplay tape.wav
wait_for 5 has_lines 6 || fail "nothing loaded after the server came back"
kill -INT "$live_pid"
wait "$live_pid" || fail "live ended with status $? after the loss"
# The blocks before the loss, then the whole tape once more.
cat prog.tap tape.tap > expected.tap
cmp kept.tap expected.tap || fail "kept.tap is not the blocks before the loss plus the tape"
echo "PASS"
