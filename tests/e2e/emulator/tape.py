#!/usr/bin/env python3
"""The emulator check's tapes, and what a decoded copy lost.

  tape.py make TAPE DIR            DIR/original.tzx: a BASIC loader and our turbo loader in ROM
                                   blocks, then the turbo parts
  tape.py compare ORIGINAL DECODED one line per difference; exit 1 when a data block differs

TAPE is one of the names in TAPES.
"""
import difflib
import os
import random
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROM_TIMING = (2168, 667, 735, 855, 1710)
PAINTER, PICTURE = 40000, 50000

# name: (pilot, sync pulses, 0-bit, 1-bit pulse in T-states), the parts in tape order. The parts
# follow each other with no pause, as in multi-part turbo loaders; each has its own pilot. A part
# with two sync pulses is a turbo block; one with more, a tone, the pulses and pure data.
TAPES = {
    'single': ((1800, (500, 550), 600, 1200), ['screen']),
    'multi': ((1800, (500, 550), 600, 1200), ['screen', 'painter', 'picture']),
    'fast': ((1100, (350, 400), 430, 860), ['screen', 'painter', 'picture']),
    'nearrom': ((2100, (650, 710), 820, 1640), ['screen', 'painter', 'picture']),
    'sync5': ((1800, (1000,) * 5, 560, 1120), ['screen', 'painter', 'picture']),
}
PILOT_PULSES = {'screen': 1500, 'painter': 800, 'picture': 1000}


def with_xor(data):
    xor = 0
    for byte in data:
        xor ^= byte
    return data + bytes([xor])


def loops(tstates, overhead):
    """The loader's count for a pulse: 50 T a loop, less what its code around the loop takes."""
    return max(1, min(255, int((tstates - overhead) / 50)))


def limits(timing):
    pilot, syncs, zero, one = timing
    assert one < pilot, "the loader tells the pilot from a 1-bit's pulse by length"
    return (loops((pilot + one) / 2, 120), loops(pilot * 1.3, 120), loops((syncs[0] + pilot) / 2, 120),
            loops(3 * zero, 150), len(syncs) - 1)


def tap_records(path):
    data, at, out = open(path, 'rb').read(), 0, []
    while at < len(data):
        size = struct.unpack_from('<H', data, at)[0]
        out.append(data[at + 2:at + 2 + size])
        at += 2 + size
    return out


def part_bytes(name, work):
    if name == 'screen':  # stripes and steps, as before
        return bytes(((i * 7) ^ (i >> 5)) & 0xFF for i in range(6144)) + bytes(i % 64 for i in range(768))
    if name == 'picture':  # any bytes: 2048 of pixels and 256 attributes for the middle third
        dice = random.Random(7)  # (with no FLASH, so that two pictures of it are the same)
        return bytes(dice.randrange(256) for _ in range(2048)) + bytes(dice.randrange(128) for _ in range(256))
    subprocess.run(['pasmo', '--equ', f'PAINTER={PAINTER}', '--equ', f'PICTURE={PICTURE}', '--bin',
                    os.path.join(HERE, 'painter.asm'), os.path.join(work, 'painter.bin')], check=True,
                   stdout=subprocess.DEVNULL)
    return open(os.path.join(work, 'painter.bin'), 'rb').read()


def make(tape, work):
    timing, names = TAPES[tape]
    parts = [(name, with_xor(part_bytes(name, work))) for name in names]
    where = {'screen': 16384, 'painter': PAINTER, 'picture': PICTURE}
    table = ''.join(f"        defw {where[name]}, {len(body)}\n        defb {', '.join(map(str, limits(timing)))}\n"
                    for name, body in parts)
    table += f"        defw 0, {PAINTER if 'painter' in names else 0}\n"
    open(os.path.join(work, 'parts.inc'), 'w').write(table)
    subprocess.run(['zmakebas', '-a', '10', '-n', 'loader', '-o', os.path.join(work, 'basic.tap'),
                    os.path.join(HERE, 'loader.bas')], check=True)
    subprocess.run(['pasmo', '-I', work, '--name', 'turbo', '--tap', os.path.join(HERE, 'turbo-loader.asm'),
                    os.path.join(work, 'code.tap')], check=True, stdout=subprocess.DEVNULL)
    tzx = bytearray(b'ZXTape!\x1a\x01\x14')
    for block in tap_records(os.path.join(work, 'basic.tap')) + tap_records(os.path.join(work, 'code.tap')):
        tzx += b'\x10' + struct.pack('<HH', 1000, len(block)) + block
    pilot, syncs, zero, one = timing
    for index, (name, body) in enumerate(parts):
        pause = 1000 if index == len(parts) - 1 else 0
        tail = bytes([8]) + struct.pack('<H', pause) + struct.pack('<I', len(body))[:3] + body
        if len(syncs) == 2:
            tzx += b'\x11' + struct.pack('<6H', pilot, *syncs, zero, one, PILOT_PULSES[name]) + tail
        else:
            tzx += b'\x12' + struct.pack('<HH', pilot, PILOT_PULSES[name])
            tzx += b'\x13' + bytes([len(syncs)]) + struct.pack(f'<{len(syncs)}H', *syncs)
            tzx += b'\x14' + struct.pack('<HH', zero, one) + tail
    open(os.path.join(work, 'original.tzx'), 'wb').write(tzx)


# Block id: the size of its fixed part and where in it the length of what follows is (offset, bytes).
FIXED = {0x10: (4, 2, 2), 0x11: (18, 15, 3), 0x12: (4, 0, 0), 0x14: (10, 7, 3), 0x15: (8, 5, 3),
         0x18: (4, 0, 4), 0x19: (4, 0, 4), 0x20: (2, 0, 0), 0x21: (1, 0, 1), 0x22: (0, 0, 0),
         0x23: (2, 0, 0), 0x24: (2, 0, 0), 0x25: (0, 0, 0), 0x26: (2, 0, 0), 0x27: (0, 0, 0), 0x28: (2, 0, 2),
         0x2A: (4, 0, 0), 0x2B: (5, 0, 0), 0x30: (1, 0, 1), 0x31: (2, 1, 1), 0x32: (2, 0, 2),
         0x35: (14, 10, 4), 0x5A: (9, 0, 0)}


def tzx_blocks(path):
    data, at, out = open(path, 'rb').read(), 10, []
    while at < len(data):
        kind = data[at]
        if kind == 0x13:
            fixed, size = 1, data[at + 1] * 2
        elif kind == 0x33:
            fixed, size = 1, data[at + 1] * 3
        elif kind in FIXED:
            fixed, offset, width = FIXED[kind]
            size = int.from_bytes(data[at + 1 + offset:at + 1 + offset + width], 'little') if width else 0
            if kind == 0x26:
                size = 2 * struct.unpack_from('<H', data, at + 1)[0]
        else:
            out.append({'kind': kind, 'text': f'0x{kind:02X} (not read further)'})
            break
        head, body = data[at + 1:at + 1 + fixed], data[at + 1 + fixed:at + 1 + fixed + size]
        if kind in (0x18, 0x19):
            head, body = data[at + 1:at + 5], data[at + 5:at + 5 + size]
        out.append(describe(kind, head, body))
        at += 1 + len(head) + len(body)
    # A silence kept as a block's own pause and a pause block after it is one pause.
    for block, after in zip(out, out[1:]):
        if block.get('data') is not None and after['kind'] == 0x20:
            block['pause'] += after['pause']
            block['text'] += f' (+{after["pause"]} in a pause block)'
    return out


def describe(kind, head, body):
    block = {'kind': kind, 'data': None, 'timing': None, 'pause': None}
    if kind == 0x10:
        block.update(data=body, timing=ROM_TIMING, pause=struct.unpack_from('<H', head)[0],
                     count=8063 if body and body[0] < 128 else 3223)  # the pilot a ROM block implies
        block['text'] = f'0x10 ROM {len(body)} bytes flag {body[0]:02X} pause {block["pause"]}'
    elif kind == 0x11:
        *timing, count, used, pause = struct.unpack_from('<6HBH', head)
        block.update(data=body, timing=tuple(timing), pause=pause, count=count)
        block['text'] = (f'0x11 turbo {len(body)} bytes (last {used} bits) flag {body[0]:02X} pilot {count}x{timing[0]} '
                         f'sync {timing[1]}/{timing[2]} bits {timing[3]}/{timing[4]} pause {pause}')
    elif kind == 0x14:
        zero, one, used, pause = struct.unpack_from('<HHBH', head)
        block.update(data=body, pause=pause, timing=(None, None, None, zero, one))
        block['text'] = f'0x14 pure data {len(body)} bytes (last {used} bits) bits {zero}/{one} pause {pause}'
    elif kind == 0x12:
        length, count = struct.unpack_from('<HH', head)
        block.update(text=f'0x12 tone {count}x{length}', pulses=(count, length))
    elif kind == 0x13:
        pulses = struct.unpack_from(f'<{len(body) // 2}H', body)
        block.update(text=f'0x13 pulses {"/".join(map(str, pulses[:8]))}{"..." if len(pulses) > 8 else ""} ({len(pulses)})',
                     pulses=(len(pulses),) + pulses)
    elif kind == 0x15:
        block['text'] = f'0x15 direct recording {len(body)} bytes at {struct.unpack_from("<H", head)[0]} T a sample'
    elif kind == 0x20:
        block['pause'] = struct.unpack_from('<H', head)[0]
        block['text'] = f'0x20 pause {block["pause"]}'
    else:
        block['text'] = f'0x{kind:02X} ({len(body)} bytes)'
    return block


def first_difference(expected, found):
    for index, (a, b) in enumerate(zip(expected, found)):
        if a != b:
            return f'byte {index}: {b:02X} for {a:02X}'
    return f'the first {min(len(expected), len(found))} bytes agree'


def timing_notes(expected, found):
    notes = []
    if found['kind'] != expected['kind']:
        notes.append(f"written as 0x{found['kind']:02X}")
    if expected['timing'] and found['timing']:
        names = ('pilot', 'sync1', 'sync2', 'zero', 'one')
        off = [f'{name} {b} for {a}' for name, a, b in zip(names, expected['timing'], found['timing'])
               if a and b and abs(b - a) > 0.05 * a]
        if off:
            notes.append('timing off by over 5 %: ' + ', '.join(off))
    if expected.get('count') and found.get('count') and abs(found['count'] - expected['count']) > 0.05 * expected['count']:
        notes.append(f"pilot {found['count']} pulses for {expected['count']}")
    if found['pause'] is not None and abs(found['pause'] - expected['pause']) > max(50, 0.1 * expected['pause']):
        notes.append(f"pause {found['pause']} for {expected['pause']}")
    return notes


def all_alike(expected, found):
    """Tones and pulse runs of the same kind, their counts and lengths within 5 %."""
    def alike(a, b):
        return (a['kind'] == b['kind'] and len(a.get('pulses', ())) == len(b.get('pulses', ()))
                and all(abs(x - y) <= 0.05 * x for x, y in zip(a.get('pulses', ()), b.get('pulses', ()))))
    return len(expected) == len(found) and all(alike(a, b) for a, b in zip(expected, found))


def compare(original, decoded):
    """Matches data blocks by their bytes, then says what is missing, extra, changed or off."""
    wanted = [b for b in tzx_blocks(original) if b.get('data') is not None]
    got_all = tzx_blocks(decoded)
    got = [b for b in got_all if b.get('data') is not None]
    lines, bad = [], False
    matcher = difflib.SequenceMatcher(a=[b['data'] for b in wanted], b=[b['data'] for b in got], autojunk=False)
    for op, a1, a2, b1, b2 in matcher.get_opcodes():
        if op == 'equal':
            for a, b in zip(wanted[a1:a2], got[b1:b2]):
                notes = timing_notes(a, b)
                if notes:
                    lines.append(f'  block {got_all.index(b)} ({len(a["data"])} bytes): ' + '; '.join(notes))
            continue
        bad = True
        for offset in range(max(a2 - a1, b2 - b1)):
            a = wanted[a1 + offset] if a1 + offset < a2 else None
            b = got[b1 + offset] if b1 + offset < b2 else None
            if a and b:
                lines.append(f'  CHANGED {a["text"]}\n       as {b["text"]}: {first_difference(a["data"], b["data"])}')
            elif a:
                lines.append(f'  MISSING {a["text"]}')
            else:
                lines.append(f'  EXTRA   {b["text"]}')
    others = [b for b in tzx_blocks(original) if b.get('data') is None and b['kind'] != 0x20]
    got_others = [b for b in got_all if b.get('data') is None and b['kind'] != 0x20]
    if not all_alike(others, got_others):
        lines += [f'  tones and pulses: {b["text"]}' for b in others]
        lines += [f'  decoded as        {b["text"]} (block {got_all.index(b)})' for b in got_others]
    exact = sum(a2 - a1 for op, a1, a2, _, _ in matcher.get_opcodes() if op == 'equal')
    print(f'data blocks byte-exact: {exact}/{len(wanted)}, decoded data blocks: {len(got)}, all blocks: {len(got_all)}')
    print('\n'.join(lines))
    return 1 if bad else 0


if __name__ == '__main__':
    if sys.argv[1:2] == ['make']:
        make(sys.argv[2], sys.argv[3])
    elif sys.argv[1:2] == ['compare']:
        sys.exit(compare(sys.argv[2], sys.argv[3]))
    else:
        sys.exit(__doc__)
