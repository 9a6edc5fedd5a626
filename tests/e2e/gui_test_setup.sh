# Sourced by the end-to-end tests of the desktop program, after they have set `work` and `server`:
# a fresh work directory to run in, the app's process id in `app_pid` (killed at exit with the
# sound server), and `fail MESSAGE`, which shows what the app wrote on standard error.
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
