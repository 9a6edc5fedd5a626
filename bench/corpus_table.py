#!/usr/bin/env python3
"""Decodes every signal of a generated tape corpus with tapewise-cli and prints, per variant,
good blocks loaded / blocks on the tape, with the default options and with --max-first.

    bench/corpus_table.py CORPUS_DIR [TAPEWISE_CLI] [-- EXTRA OPTIONS]

CORPUS_DIR holds tap/<tape>.tap and audio/<variant>/<tape>.raw (the layout of the corpus
generator's output). A decoded block counts as good when it equals a block of the reference
image, matched in order (longest common subsequence); a decoded block that matches nothing is
counted as spurious.
"""
import os
import subprocess
import sys
import tempfile


def read_tap(path):
    blocks = []
    with open(path, "rb") as f:
        data = f.read()
    at = 0
    while at + 2 <= len(data):
        length = data[at] | data[at + 1] << 8
        at += 2
        if at + length > len(data):
            break
        blocks.append(data[at:at + length])
        at += length
    return blocks


def matched_in_order(decoded, reference):
    rows = [[0] * (len(reference) + 1) for _ in range(len(decoded) + 1)]
    for i, d in enumerate(decoded):
        for j, r in enumerate(reference):
            rows[i + 1][j + 1] = rows[i][j] + 1 if d == r else max(rows[i][j + 1], rows[i + 1][j])
    return rows[len(decoded)][len(reference)]


def decode(cli, signal, options):
    with tempfile.TemporaryDirectory() as scratch:
        out = os.path.join(scratch, "out.tap")
        run = subprocess.run([cli, "decode", *options, signal, "-o", out],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if run.returncode != 0:
            raise SystemExit(f"{signal}: tapewise-cli exited with {run.returncode}")
        return read_tap(out)


def variant_order(audio):
    listed = os.path.join(audio, "VARIANTS.tsv")
    if os.path.exists(listed):
        with open(listed) as f:
            names = [line.split("\t")[0] for line in f.read().splitlines()[1:] if line]
        return [n for n in names if os.path.isdir(os.path.join(audio, n))]
    return sorted(n for n in os.listdir(audio) if os.path.isdir(os.path.join(audio, n)))


def main():
    args = sys.argv[1:]
    extra = []
    if "--" in args:
        extra = args[args.index("--") + 1:]
        args = args[:args.index("--")]
    if not args:
        raise SystemExit(__doc__)
    corpus = args[0]
    here = os.path.dirname(os.path.abspath(__file__))
    cli = args[1] if len(args) > 1 else os.path.join(here, "..", "build", "cli", "tapewise-cli")
    audio = os.path.join(corpus, "audio")
    tapes = ["basic", "mc", "headerless", "tiny", "badsum", "screen", "big"]
    modes = [("default", extra), ("max-first", extra + ["--max-first"])]
    print("Good blocks loaded byte-exact / blocks on the tape (tapewise-cli decode"
          + (" " + " ".join(extra) if extra else "") + ").\n")
    print("| variant | " + " | ".join(tapes) + " | total | total --max-first | spurious |")
    print("|---" * (len(tapes) + 4) + "|")
    grand = {m: [0, 0] for m, _ in modes}
    for variant in variant_order(audio):
        cells, totals, spurious = [], {}, 0
        for mode, options in modes:
            good = blocks = 0
            for tape in tapes:
                signal = os.path.join(audio, variant, tape + ".raw")
                if not os.path.exists(signal):
                    if mode == "default":
                        cells.append("")
                    continue
                reference = read_tap(os.path.join(corpus, "tap", tape + ".tap"))
                decoded = decode(cli, signal, options)
                hits = matched_in_order(decoded, reference)
                good += hits
                blocks += len(reference)
                if mode == "default":
                    cells.append(f"{hits}/{len(reference)}")
                    spurious += len(decoded) - hits
            totals[mode] = (good, blocks)
            grand[mode][0] += good
            grand[mode][1] += blocks
        print(f"| {variant} | " + " | ".join(cells)
              + f" | {totals['default'][0]}/{totals['default'][1]}"
              + f" | {totals['max-first'][0]}/{totals['max-first'][1]} | {spurious} |", flush=True)
    print(f"| all | " + " | ".join("" for _ in tapes)
          + f" | {grand['default'][0]}/{grand['default'][1]}"
          + f" | {grand['max-first'][0]}/{grand['max-first'][1]} | |")


if __name__ == "__main__":
    main()
