#!/usr/bin/env python3
"""Builds Tolvar's .ico files from the text pixel maps in res/icons/*.txt.

Regenerate after editing a map (the output is byte-identical on every run):
    python3 tools/make_icons.py
and commit the changed .txt and .ico files together.

Map format: lines starting with '#' are comments; "image SIZE BITS" starts a square image of SIZE
pixels with BITS per pixel (4 = 16 colours, 8 = 256 colours), followed by SIZE rows of SIZE characters:
  '.'          transparent
  '0'-'9' 'A'-'F'  the 16 standard colours (black, maroon, green, olive, navy, purple, teal, silver,
               gray, red, lime, yellow, blue, fuchsia, aqua, white)
  'a'-'z'      extra shades, 256-colour images only (see EXTRA below)
"""

import pathlib
import struct
import sys

STANDARD = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

# Shades of the 256-colour images, placed after the standard colours in letter order.
EXTRA = {
    'a': (0x50, 0x70, 0xD0),  # rim, lit side
    'b': (0x30, 0x50, 0xB0),
    'c': (0x20, 0x38, 0x90),
    'd': (0x10, 0x20, 0x60),  # rim, shaded side
    'i': (0xFF, 0xE8, 0x70),  # coin highlight
    'j': (0xA0, 0x78, 0x10),  # coin edge
}
EXTRA_INDEX = {letter: 16 + n for n, letter in enumerate(sorted(EXTRA))}


def palette(bits):
    colours = list(STANDARD)
    if bits == 8:
        colours += [EXTRA[letter] for letter in sorted(EXTRA)]
    colours += [(0, 0, 0)] * ((1 << bits) - len(colours))
    return b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in colours)


def colour_index(char, bits, where):
    if char == '.':
        return 0
    if char in '0123456789ABCDEF':
        return int(char, 16)
    if bits == 8 and char in EXTRA_INDEX:
        return EXTRA_INDEX[char]
    sys.exit(f'{where}: colour {char!r} not available at {bits} bits per pixel')


def pack_row(values, bits):
    """One bottom-up DIB row, padded to a multiple of four bytes."""
    out = bytearray()
    if bits == 8:
        out += bytes(values)
    elif bits == 4:
        for n in range(0, len(values), 2):
            out.append((values[n] << 4) | values[n + 1])
    else:
        for n in range(0, len(values), 8):
            byte = 0
            for bit in values[n:n + 8]:
                byte = (byte << 1) | bit
            out.append(byte)
    while len(out) % 4:
        out.append(0)
    return bytes(out)


def image_bytes(size, bits, rows, where):
    colours = [[colour_index(c, bits, where) for c in row] for row in rows]
    masks = [[1 if c == '.' else 0 for c in row] for row in rows]
    xor = b''.join(pack_row(row, bits) for row in reversed(colours))
    mask = b''.join(pack_row(row, 1) for row in reversed(masks))
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + palette(bits) + xor + mask


def parse(path):
    images = []
    lines = [line.rstrip('\n') for line in path.read_text(encoding='ascii').splitlines()]
    n = 0
    while n < len(lines):
        line = lines[n]
        n += 1
        if not line or line.startswith('#'):
            continue
        words = line.split()
        if len(words) != 3 or words[0] != 'image':
            sys.exit(f'{path}:{n}: expected "image SIZE BITS"')
        size, bits = int(words[1]), int(words[2])
        if bits not in (4, 8):
            sys.exit(f'{path}:{n}: only 4 or 8 bits per pixel')
        rows = lines[n:n + size]
        if len(rows) != size or any(len(row) != size for row in rows):
            sys.exit(f'{path}:{n}: expected {size} rows of {size} characters')
        images.append((size, bits, image_bytes(size, bits, rows, f'{path}:{n}')))
        n += size
    if not images:
        sys.exit(f'{path}: no image')
    return images


def ico(images):
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16 if bits == 4 else 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return bytes(out)


def main():
    folder = pathlib.Path(__file__).resolve().parent.parent / 'res' / 'icons'
    for source in sorted(folder.glob('*.txt')):
        target = source.with_suffix('.ico')
        target.write_bytes(ico(parse(source)))
        print(target.relative_to(folder.parent.parent))


if __name__ == '__main__':
    main()
