#!/usr/bin/env bash
# Starts and stops a private PulseAudio server for tests: no hardware, no desktop session.
#
#   pulse-test-server.sh start DIR [tape|monitor-only]
#   pulse-test-server.sh stop DIR      # ends the server started in DIR, waiting for it
#   pulse-test-server.sh kill DIR      # ends it at once, as a crash would
#   pulse-test-server.sh env DIR       # prints the variables that reach it, for eval
#
# "tape" (the default) is a null sink "tape" in the recording format whose monitor is remapped to
# an ordinary source "tapein", the default source: what is played into the sink comes out of the
# default input. "monitor-only" has the null sink alone, so the only source is a monitor.
# The server and its clients share DIR/run as XDG_RUNTIME_DIR and DIR/home as HOME; the server's
# pid is in DIR/server.pid and its log in DIR/server.log.
set -euo pipefail

command="${1:?command}"
dir="${2:?directory}"
layout="${3:-tape}"

server_env() {
  echo "export XDG_RUNTIME_DIR='$dir/run' HOME='$dir/home' PULSE_SERVER='unix:$dir/run/pulse/native'"
}

start() {
  mkdir -p "$dir/run" "$dir/home"
  chmod 700 "$dir/run"
  {
    echo "load-module module-native-protocol-unix"
    echo "load-module module-null-sink sink_name=tape format=u8 rate=22000 channels=1 channel_map=mono norewinds=1"
    if [ "$layout" = tape ]; then
      echo "load-module module-remap-source source_name=tapein master=tape.monitor channels=1 channel_map=mono"
      echo "set-default-source tapein"
    fi
    echo "set-default-sink tape"
  } > "$dir/server.pa"
  # Clients must not start a server of their own when this one is gone.
  echo "autospawn = no" > "$dir/client.conf"
  # --system=no with a private HOME and XDG_RUNTIME_DIR lets the server run as root too.
  XDG_RUNTIME_DIR="$dir/run" HOME="$dir/home" \
    pulseaudio -n --daemonize=no --system=no --exit-idle-time=-1 --disallow-exit \
      --use-pid-file=no -F "$dir/server.pa" --log-target=file:"$dir/server.log" \
      </dev/null >/dev/null 2>&1 &
  echo $! > "$dir/server.pid"
  eval "$(server_env)"
  export PULSE_CLIENTCONFIG="$dir/client.conf"
  for _ in $(seq 100); do
    if pactl info >/dev/null 2>&1; then
      return 0
    fi
    if ! kill -0 "$(cat "$dir/server.pid")" 2>/dev/null; then
      break
    fi
    sleep 0.1
  done
  echo "pulse-test-server: the server did not start; its log:" >&2
  cat "$dir/server.log" >&2 || true
  stop_server TERM
  return 1
}

stop_server() {
  local signal="$1"
  [ -f "$dir/server.pid" ] || return 0
  local pid
  pid="$(cat "$dir/server.pid")"
  kill "-$signal" "$pid" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  rm -f "$dir/server.pid"
}

case "$command" in
  start) start ;;
  stop) stop_server TERM ;;
  kill) stop_server KILL ;;
  env) server_env; echo "export PULSE_CLIENTCONFIG='$dir/client.conf'" ;;
  *) echo "pulse-test-server: unknown command $command" >&2; exit 2 ;;
esac
