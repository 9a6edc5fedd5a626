#!/usr/bin/env bash
# Does an archived turbo tape load in a real emulator? Builds a small tape (a BASIC loader, our own
# machine-code turbo loader, and a SCREEN$ in a turbo block at 1800/500/550/600/1200 T-states),
# plays it to a recording with tape2wav, decodes that with `tapewise-cli decode --archive`, and
# loads both the original and the decoded TZX in Fuse with the free OpenSE ROM (tape traps off,
# so the loader reads the signal). The loader paints the border green when the block's XOR holds
# and red when it does not; a pass is a green border and the same picture as the original's.
#
#   scripts/emulator-check.sh [TAPEWISE_CLI] [RATE]
#
# Needs fuse-emulator-sdl, opense-basic, fuse-emulator-utils, zmakebas, pasmo, xvfb, xdotool and
# imagemagick. Exits 0 on a pass, 1 on a fail, 77 when a tool is missing.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cli="${1:-$here/build-release/cli/tapewise-cli}"
rate="${2:-44100}"
rom=/usr/share/spectrum-roms/opense.rom
for tool in fuse-sdl tape2wav zmakebas pasmo xvfb-run xdotool import convert python3; do
  command -v "$tool" >/dev/null || { echo "emulator check skipped: no $tool"; exit 77; }
done
[ -f "$rom" ] || { echo "emulator check skipped: no $rom (package opense-basic)"; exit 77; }
[ -x "$cli" ] || { echo "no $cli: build it first"; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
zmakebas -a 10 -n loader -o basic.tap "$here/tests/e2e/emulator/loader.bas"
pasmo --tap "$here/tests/e2e/emulator/turbo-loader.asm" code.tap >/dev/null
python3 - <<'EOF'
import struct
def records(path):
    data, at, out = open(path, 'rb').read(), 0, []
    while at < len(data):
        n = struct.unpack_from('<H', data, at)[0]
        out.append(data[at + 2:at + 2 + n]); at += 2 + n
    return out
tzx = bytearray(b'ZXTape!\x1a\x01\x14')
for block in records('basic.tap') + records('code.tap'):
    tzx += b'\x10' + struct.pack('<HH', 1000, len(block)) + block
# A picture with stripes and steps, then the XOR of its bytes: what the loader checks.
screen = bytes(((i * 7) ^ (i >> 5)) & 0xFF for i in range(6144)) + bytes((i % 64) for i in range(768))
xor = 0
for b in screen: xor ^= b
body = screen + bytes([xor])
tzx += b'\x11' + struct.pack('<HHHHHH', 1800, 500, 550, 600, 1200, 1500) + bytes([8])
tzx += struct.pack('<H', 1000) + struct.pack('<I', len(body))[:3] + body
open('original.tzx', 'wb').write(tzx)
EOF
tape2wav -r "$rate" original.tzx tape.wav
"$cli" decode --archive tape.wav -o decoded.tzx >decoded.rows 2>decoded.log
cat decoded.rows

# Loads a tape with LOAD "" typed in (OpenSE BASIC takes words letter by letter; Alt is Symbol
# Shift), waits until the border settles green or red, and keeps a picture of the screen.
run_emulator() {
  xvfb-run -a -s "-screen 0 640x480x24" bash -s "$1" "$2" <<'EOF'
tape="$1"; shot="$2"
press() { xdotool keydown "$1"; sleep 0.2; xdotool keyup "$1"; sleep 0.3; }
fuse-sdl --machine 48 --rom-48 /usr/share/spectrum-roms/opense.rom --no-sound --no-traps \
  --no-auto-load --tape "$tape" >/dev/null 2>&1 &
pid=$!
sleep 5
window=$(xdotool search --name Fuse | head -1)
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool mousemove 100 100 click 1
press Return
for key in l o a d space; do press "$key"; done
xdotool keydown alt; sleep 0.2; press p; press p; xdotool keyup alt; sleep 0.3
press Return
last=""
for _ in $(seq 1 40); do
  sleep 3
  import -window root "$shot"
  border=$(convert "$shot" -format '%[pixel:p{4,4}]' info:)
  case "$border" in *"0,192,0"* | *"0,197,0"* | green*) break ;; esac
  [ "$border" = "$last" ] && case "$border" in *"192,0,0"* | *"197,0,0"* | red*) break ;; esac
  last="$border"
done
kill -9 $pid 2>/dev/null || echo "the emulator ended early" >&2
EOF
}

border_of() { convert "$1" -format '%[pixel:p{4,4}]' info:; }
# Fuse sometimes ends at once when its display is not ready yet (a black screen): try again.
load_in_emulator() {
  for _ in 1 2 3; do
    run_emulator "$work/$1" "$2" || true
    case "$(border_of "$2")" in *"gray(0)"* | *"0,0,0"*) sleep 2 ;; *) return 0 ;; esac
  done
}
load_in_emulator original.tzx original.png
load_in_emulator decoded.tzx decoded.png
echo "original: border $(border_of original.png); decoded: border $(border_of decoded.png)"
same=$(convert original.png decoded.png -compose difference -composite -format '%[fx:maxima]' info:)
if [ "$(border_of original.png)" = "$(border_of decoded.png)" ] && [ "$same" = "0" ] &&
  border_of decoded.png | grep -q -E '0,19[27],0|green'; then
  cp decoded.png /tmp/emulator-decoded.png
  echo "PASS: the decoded TZX loads in the emulator as the original does (/tmp/emulator-decoded.png)"
  exit 0
fi
cp original.png decoded.png decoded.tzx /tmp/ 2>/dev/null || true
echo "FAIL: see /tmp/original.png, /tmp/decoded.png and /tmp/decoded.tzx"
exit 1
