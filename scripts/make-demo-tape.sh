#!/usr/bin/env bash
# Makes a sample tape with independent tools of the field, for the demo and the end-to-end tests:
#   DIR/tape.tap  the image: a BASIC program, then a picture saved as CODE 16384,6912 (SCREEN$)
#   DIR/tape.wav  its sound in the recording format (unsigned 8 bits, mono, 22000 per second)
# Usage: make-demo-tape.sh DIR
set -euo pipefail
dir="${1:?directory}"
mkdir -p "$dir"
cd "$dir"

printf '10 REM Tapewise demo\n20 PRINT "HELLO FROM TAPE"\n30 GO TO 20\n' > demo.bas
zmakebas -a 10 -n demo -o prog.tap demo.bas

# A picture: diagonal stripes in the pixels, the eight colours as bars in the attributes.
awk 'BEGIN {
  print "org 16384"
  for (i = 0; i < 6144; i += 16) {
    line = " defb "
    for (j = 0; j < 16; j++) line = line ((j ? "," : "") (((i + j) % 3) == 0 ? 240 : 15))
    print line
  }
  for (row = 0; row < 24; row++) {
    line = " defb "
    for (col = 0; col < 32; col++) line = line ((col ? "," : "") ((int(col / 4) * 8) + (7 - int(col / 4))))
    print line
  }
}' > screen.asm
pasmo --name picture --tap screen.asm screen.tap
cat prog.tap screen.tap > tape.tap

# Rendered at 350000 Hz so that every edge lands where the ROM timing puts it, then taken down to
# the recording format. A short tone after the last pause ends the last block.
tape2wav -r 350000 tape.tap tape350.wav
sox -V1 tape350.wav -r 22000 -c 1 -e unsigned -b 8 tape22.wav vol 0.5
sox -V1 -n -r 22000 -c 1 -e unsigned -b 8 closing.wav synth 0.5 square 300 vol 0.5
sox -V1 tape22.wav closing.wav tape.wav
rm -f tape350.wav tape22.wav closing.wav
