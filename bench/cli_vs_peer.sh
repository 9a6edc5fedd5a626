#!/usr/bin/env bash
# tapewise-cli decode against Debian's audio2tape (fuse-emulator-utils) on the same 22000 Hz WAV,
# side by side in one run, several rounds each; then the peak memory of tapewise-cli on a short
# and a long input.
#
#   bench/cli_vs_peer.sh [TAPEWISE_CLI] [ROUNDS]
#
# The signals are made here: a tape of random blocks, rendered by tape2wav at 350000/s (exact
# ROM timing) and brought to 22000/s 8-bit by sox; the long one repeats the short one.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cli="${1:-$here/../build/cli/tapewise-cli}"
rounds="${2:-3}"
for tool in tape2wav sox audio2tape python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/install-deps.sh)"; exit 1; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# About ten minutes of tape: 24 blocks of 2 to 6 KB of random bytes.
python3 - "$work/bench.tap" <<'PY'
import random, sys
random.seed(7)
out = bytearray()
for i in range(24):
    payload = bytes(random.getrandbits(8) for _ in range(random.randint(2000, 6000)))
    block = bytes([0xFF]) + payload
    checksum = 0
    for b in block:
        checksum ^= b
    block += bytes([checksum])
    out += len(block).to_bytes(2, "little") + block
open(sys.argv[1], "wb").write(out)
PY
tape2wav -r 350000 "$work/bench.tap" "$work/master.wav" >/dev/null
sox -D "$work/master.wav" -r 22000 -b 8 "$work/short.wav" gain -6
sox -D "$work/short.wav" "$work/short.wav" "$work/short.wav" "$work/short.wav" "$work/long.wav"
samples=$(soxi -s "$work/short.wav")
echo "input: $samples samples at 22000/s ($(soxi -d "$work/short.wav"))"

seconds() { # command... -> wall seconds of one run
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
best_cli=999999
best_peer=999999
for round in $(seq "$rounds"); do
  t_cli=$(seconds "$cli" decode "$work/short.wav" -o "$work/cli.tap")
  t_peer=$(seconds audio2tape "$work/short.wav" "$work/peer.tzx")
  printf 'round %d: tapewise-cli %.3f s   audio2tape %.3f s\n' "$round" "$t_cli" "$t_peer"
  best_cli=$(echo "if ($t_cli < $best_cli) $t_cli else $best_cli" | bc -l)
  best_peer=$(echo "if ($t_peer < $best_peer) $t_peer else $best_peer" | bc -l)
done
printf 'best: tapewise-cli %.3f s (%.0f samples/s, %.0fx real time)\n' "$best_cli" \
  "$(echo "$samples / $best_cli" | bc -l)" "$(echo "$samples / 22000 / $best_cli" | bc -l)"
printf 'best: audio2tape   %.3f s (%.0f samples/s)\n' "$best_peer" "$(echo "$samples / $best_peer" | bc -l)"
printf 'throughput ratio: %.1fx the peer\n' "$(echo "$best_peer / $best_cli" | bc -l)"
echo "blocks: tapewise-cli $(python3 -c "
import sys
d=open('$work/cli.tap','rb').read(); n=0; i=0
while i+2<=len(d): l=d[i]|d[i+1]<<8; i+=2+l; n+=1
print(n)") of 24"

for input in short long; do
  rss=$(/usr/bin/time -f '%M' "$cli" decode "$work/$input.wav" 2>&1 >/dev/null | tail -1)
  echo "max RSS, $input input ($(soxi -d "$work/$input.wav")): ${rss} kB"
done
