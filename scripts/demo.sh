#!/usr/bin/env bash
# Watch Tapewise load a tape without a cassette deck: builds Tapewise, starts a private sound
# server with a virtual tape input, starts Tapewise on it and plays a sample tape into it (a BASIC
# program and a SCREEN$ picture, made by zmakebas, pasmo, tape2wav and sox). Press "Console" to
# watch the signal, and look at the picture on the Screens page. The sound server stops when
# Tapewise ends.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target tapewise tapewise-cli

work="$(mktemp -d "${TMPDIR:-/tmp}/tapewise-demo.XXXXXX")"
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  scripts/pulse-test-server.sh stop "$work/server" || true
  rm -rf "$work"
}
trap cleanup EXIT

scripts/make-demo-tape.sh "$work/tape"
scripts/pulse-test-server.sh start "$work/server" tape
# Only the sound goes to the private server; the desktop session stays as it is.
pulse_env=(PULSE_SERVER="unix:$work/server/run/pulse/native"
           PULSE_CLIENTCONFIG="$work/server/client.conf"
           PULSE_COOKIE="$work/server/home/.config/pulse/cookie")

env "${pulse_env[@]}" build/app/tapewise &
app_pid=$!
sleep 2
echo "Playing the sample tape into Tapewise's input (about a minute)..."
env "${pulse_env[@]}" paplay "$work/tape/tape.wav" || true
echo "The tape has played. Save the blocks with \"Save as ...\", or close Tapewise to end the demo."
wait "$app_pid" || true
app_pid=""
