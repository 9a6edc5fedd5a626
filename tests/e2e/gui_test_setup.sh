# Sourced by the end-to-end tests of the desktop program, after they have set `work` and `server`:
# a fresh work directory to run in, the app's process id in `app_pid` (killed at exit with the
# sound server), `fail MESSAGE`, which shows what the app wrote on standard error, and keys for
# the main window, whose id the test puts in `main_window`.
rm -rf "$work"
mkdir -p "$work"
cd "$work"

app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  "$server" stop "$work/server" || true
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -f app.err ] && { echo "--- tapewise standard error"; cat app.err; } >&2
  exit 1
}

. "$(dirname "${BASH_SOURCE[0]}")/wait_for.sh"

has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

# focus WINDOW: gives it the keyboard focus and waits until it has it.
focus() {
  local attempt
  for attempt in 1 2 3; do
    xdotool windowfocus "$1" 2>/dev/null || true
    wait_for 2 has_focus "$1" && return 0
  done
  return 1
}

# key_to_main KEY...: the keys, typed into the main window.
key_to_main() {
  focus "$main_window" || fail "the main window did not take the focus"
  xdotool key --clearmodifiers "$@"
}
