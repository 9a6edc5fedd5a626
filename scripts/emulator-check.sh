#!/usr/bin/env bash
# Do archived turbo tapes load in a real emulator? Each case builds a tape (a BASIC loader, our own
# multi-part machine-code turbo loader, and its parts in turbo blocks), plays it to a recording with
# tape2wav, decodes that with `tapewise-cli decode --archive`, and loads both the original and the
# decoded TZX in Fuse with the free OpenSE ROM (tape traps off, so the loader reads the signal). The
# loader paints the border green when every part's XOR holds and then runs the code part; a case
# passes with a green border and the same picture as the original's. Prints a table, and for a fail
# what the decoded TZX lost against the original.
#
#   scripts/emulator-check.sh [TAPEWISE_CLI] [CASE...]
#
# A CASE is TAPE@RECORDING. TAPE: single (one screen at 1800/500/550/600/1200 T), multi (a screen,
# a code part and a picture back to back, pause 0, each with its own pilot; same timing), fast (the
# same at about twice ROM speed, 1100/350/400/430/860) or nearrom (close to ROM timing but not it,
# 2100/650/710/820/1640) or sync5 (the parts as a tone, five sync pulses of 1000 T and pure data at
# 560/1120). RECORDING: 22050, 44100, 48000 (tape2wav) or tapelike (44.1 kHz, 2 % fast, 300 Hz-4
# kHz band, hiss). A bare rate means every tape at that rate. No CASE: multi, fast and nearrom at
# every recording, sync5 at 44100 and tapelike. Each case's files stay in $EMULATOR_CHECK_OUT
# (default /tmp/emulator-check).
#
# Needs fuse-emulator-sdl, opense-basic, fuse-emulator-utils, zmakebas, pasmo, sox, xvfb, xdotool
# and imagemagick. Exits 0 when every case passes, 1 when one fails, 77 when a tool is missing.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cli="$(realpath -m "${1:-$here/build-release/cli/tapewise-cli}")"
shift || true
rom=/usr/share/spectrum-roms/opense.rom
out="${EMULATOR_CHECK_OUT:-/tmp/emulator-check}"
tapes="single multi fast nearrom sync5"
for tool in fuse-sdl tape2wav tzxlist zmakebas pasmo sox xvfb-run xdotool import convert python3; do
  command -v "$tool" >/dev/null || { echo "emulator check skipped: no $tool"; exit 77; }
done
[ -f "$rom" ] || { echo "emulator check skipped: no $rom (package opense-basic)"; exit 77; }
[ -x "$cli" ] || { echo "no $cli: build it first"; exit 1; }

cases=()
for arg in "$@"; do
  case "$arg" in
    *@*) cases+=("$arg") ;;
    *) for tape in $tapes; do cases+=("$tape@$arg"); done ;;
  esac
done
if [ ${#cases[@]} -eq 0 ]; then
  for tape in multi fast nearrom; do
    for recording in 22050 44100 48000 tapelike; do cases+=("$tape@$recording"); done
  done
  cases+=(sync5@44100 sync5@tapelike)
fi
rm -rf "$out"
mkdir -p "$out"

# The border as r,g,b at a point of the border: green (a pass), magenta (a part failed), black (no
# part came) or anything else (still loading).
border_of() {
  convert "$1" -format '%[fx:int(255*p{4,4}.r)],%[fx:int(255*p{4,4}.g)],%[fx:int(255*p{4,4}.b)]' info:
}
colour_of() {
  IFS=, read -r red green blue <<<"$(border_of "$1")"
  if [ "$green" -gt 150 ] && [ "$red" -lt 60 ] && [ "$blue" -lt 60 ]; then echo green
  elif [ "$red" -gt 150 ] && [ "$blue" -gt 150 ] && [ "$green" -lt 60 ]; then echo magenta
  elif [ "$red" -lt 20 ] && [ "$green" -lt 20 ] && [ "$blue" -lt 20 ]; then echo black
  else echo other; fi
}

# Loads a tape with LOAD "" typed in (OpenSE BASIC takes words letter by letter; Alt is Symbol
# Shift), waits until the border settles, at most a while past the tape's length, and keeps a
# picture of the screen.
read -r -d '' emulator_session <<'EOF' || true
tape="$1"; shot="$2"; seconds="$3"
press() { xdotool keydown "$1"; sleep 0.12; xdotool keyup "$1"; sleep 0.2; }
fuse-sdl --machine 48 --rom-48 /usr/share/spectrum-roms/opense.rom --no-sound --no-traps \
  --no-auto-load --tape "$tape" >/dev/null 2>&1 &
pid=$!
window=$(timeout 15 xdotool search --sync --name Fuse | head -1)
sleep 1.5
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool mousemove 100 100 click 1
press Return
for key in l o a d space; do press "$key"; done
xdotool keydown alt; sleep 0.12; press p; press p; xdotool keyup alt; sleep 0.2
# A key the emulator took late repeats, one it missed is not there: the command line must end with
# the cursor in the eighth cell, after the seven characters of LOAD "".
import -window root "$shot.typed.png"
box=$(convert "$shot.typed.png" -crop 256x8+32+208 +repage -bordercolor "rgb(192,192,192)" -border 1 \
  -format '%@' info:)
right=$((${box%%x*} + $(echo "$box" | cut -d+ -f2)))
if [ "$right" -lt 58 ] || [ "$right" -gt 65 ]; then
  touch "$shot.not-loading"
  kill -9 $pid
  exit 0
fi
press Return
last=""
for _ in $(seq 1 $((seconds + 20))); do
  sleep 1
  import -window root "$shot"
  colour=$(colour_of "$shot")
  [ "$colour" = green ] && break
  # The ROM's loading stripes pass through many colours: an end is a colour that stays.
  [ "$colour" = "$last" ] && case "$colour" in magenta | black) break ;; esac
  last="$colour"
done
kill -9 $pid 2>/dev/null || echo "the emulator ended early" >&2
EOF
run_emulator() {
  xvfb-run -a -s "-screen 0 640x480x24" \
    bash -c "$(declare -f border_of colour_of)"$'\n'"$emulator_session" session "$1" "$2" "$3"
}

# Fuse sometimes ends at once when its display is not ready yet (a black window), or a command is
# mistyped: try again.
load_in_emulator() {
  local seconds
  seconds=$(tzxlist "$1" | sed -n 's/^Total tape duration: \([0-9]*\) min, \([0-9]*\).*/\1 \2/p' |
    awk '{print $1 * 60 + $2}')
  for _ in 1 2 3; do
    rm -f "$2.not-loading"
    run_emulator "$1" "$2" "$seconds" || true
    [ "$(convert "$2" -format '%[fx:maxima]' info:)" != 0 ] && [ ! -f "$2.not-loading" ] && return 0
    sleep 2
  done
}

# The recording of a case: tape2wav at a rate, or a tape-like copy made from one at 44.1 kHz.
record() {
  local tzx="$1" recording="$2" wav="$3"
  if [ "$recording" = tapelike ]; then
    tape2wav -r 44100 "$tzx" "$wav.clean.wav"
    sox -V1 -v 0.4 "$wav.clean.wav" -b 16 "$wav.band.wav" speed 1.02 highpass 300 lowpass 4000 rate 44100
    sox -V1 -n -r 44100 -c 1 -b 16 "$wav.hiss.wav" synth "$(soxi -D "$wav.band.wav")" whitenoise
    sox -V1 -m -v 1 "$wav.band.wav" -v 0.04 "$wav.hiss.wav" "$wav"
    rm -f "$wav.clean.wav" "$wav.band.wav" "$wav.hiss.wav"
  else
    tape2wav -r "$recording" "$tzx" "$wav"
  fi
}

table=()
failed=0
for name in "${cases[@]}"; do
  tape="${name%@*}"
  recording="${name#*@}"
  case " $tapes " in *" $tape "*) ;; *) echo "no tape $tape (one of: $tapes)"; exit 1 ;; esac
  if [ ! -f "$out/$tape/original.png" ]; then
    mkdir -p "$out/$tape"
    python3 "$here/tests/e2e/emulator/tape.py" make "$tape" "$out/$tape"
    tzxlist "$out/$tape/original.tzx" >"$out/$tape/original.tzxlist"
    load_in_emulator "$out/$tape/original.tzx" "$out/$tape/original.png"
  fi
  dir="$out/$name"
  mkdir -p "$dir"
  record "$out/$tape/original.tzx" "$recording" "$dir/tape.wav"
  "$cli" decode --archive "$dir/tape.wav" -o "$dir/decoded.tzx" >"$dir/decoded.rows" 2>"$dir/decoded.log" || true
  verdict=fail
  if [ -f "$dir/decoded.tzx" ]; then
    tzxlist "$dir/decoded.tzx" >"$dir/decoded.tzxlist" 2>&1 || true
    python3 "$here/tests/e2e/emulator/tape.py" compare "$out/$tape/original.tzx" "$dir/decoded.tzx" \
      >"$dir/compare.txt" 2>&1 || true
    load_in_emulator "$dir/decoded.tzx" "$dir/decoded.png"
    # The paper only: Fuse's tape icon in the border comes and goes.
    same=$(convert "$out/$tape/original.png" "$dir/decoded.png" -crop 256x192+32+24 +repage \
      -compose difference -composite -format '%[fx:maxima]' info:)
    if [ "$(colour_of "$out/$tape/original.png")" != green ]; then
      verdict="fail (the original does not load: border $(colour_of "$out/$tape/original.png"))"
    elif [ "$(colour_of "$dir/decoded.png")" = green ] && [ "$same" = 0 ]; then
      verdict=pass
    else
      verdict="fail (border $(colour_of "$dir/decoded.png"), picture $([ "$same" = 0 ] && echo same || echo differs))"
    fi
  else
    echo "no TZX written" >"$dir/compare.txt"
  fi
  [ "$verdict" = pass ] || failed=1
  read -r exact decoded < <(sed -n 's|^data blocks byte-exact: \([0-9/]*\), decoded data blocks: \([0-9]*\).*|\1 \2|p' \
    "$dir/compare.txt") || true
  notes=$(grep -c -E 'timing off|pause [0-9]+ for|written as|pilot [0-9]+ pulses for' "$dir/compare.txt") || true
  table+=("$(printf '%-8s %-9s %-41s %-7s %-7s %s' "$tape" "$recording" "$verdict" "${exact:--}" \
    "${decoded:--}" "$notes")")
  printf '%s\n' "${table[-1]}"
  sed 's/^/    /' "$dir/compare.txt"
done

echo
printf '%-8s %-9s %-41s %-7s %-7s %s\n' tape recording emulator exact decoded "blocks with timing notes"
printf '%s\n' "${table[@]}"
echo "files: $out/<tape>@<recording>/ (decoded.tzx, decoded.png, compare.txt, decoded.tzxlist)"
exit $failed
