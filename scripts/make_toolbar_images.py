#!/usr/bin/env python3
"""Draws the message editor's toolbar buttons (site/afp/*.gif, 23 by 22 pixels) and writes them as
GIF files. Standard library only. Run: scripts/make_toolbar_images.py [site_dir]"""

import os
import struct
import sys

W, H = 23, 22

# Palette: index -> RGB. The button face, its bevel, and the ink of the glyphs.
PALETTE = [
    (0xD4, 0xD0, 0xC8),  # 0 face
    (0xFF, 0xFF, 0xFF),  # 1 light edge
    (0x80, 0x80, 0x80),  # 2 shadow
    (0x40, 0x40, 0x40),  # 3 dark edge
    (0x00, 0x00, 0x00),  # 4 ink
    (0x00, 0x00, 0x99),  # 5 blue
    (0xCC, 0x00, 0x00),  # 6 red
    (0xFF, 0xCC, 0x00),  # 7 yellow
    (0x00, 0x80, 0x00),  # 8 green
    (0x66, 0x99, 0xCC),  # 9 sky
]
INK = {'#': 4, 'b': 5, 'r': 6, 'y': 7, 'g': 8, 's': 9, 'w': 1, '.': None}

# Glyphs drawn on the face, centred; one character per pixel (see INK).
GLYPHS = {
    'bold': [
        '#######..',
        '.##...##.',
        '.##...##.',
        '.######..',
        '.##...##.',
        '.##...##.',
        '.##...##.',
        '#######..',
    ],
    'italicize': [
        '...####',
        '....##.',
        '...##..',
        '...##..',
        '..##...',
        '..##...',
        '.##....',
        '####...',
    ],
    'underline': [
        '##...##',
        '.#...#.',
        '.#...#.',
        '.#...#.',
        '.#...#.',
        '..###..',
        '.......',
        '#######',
    ],
    'center': [
        '#########',
        '.........',
        '..#####..',
        '.........',
        '#########',
        '.........',
        '..#####..',
        '.........',
        '#########',
    ],
    'url': [
        '..bbbbb..',
        '.b..b..b.',
        'bbbbbbbbb',
        'b...b...b',
        'b...b...b',
        'bbbbbbbbb',
        '.b..b..b.',
        '..bbbbb..',
    ],
    'email': [
        '###########',
        '##.......##',
        '#.#.....#.#',
        '#..#...#..#',
        '#...#.#...#',
        '#....#....#',
        '#.........#',
        '###########',
    ],
    'image': [
        '###########',
        '#sssssssss#',
        '#ssssssyys#',
        '#ssssssyys#',
        '#ssgsssssss',
        '#sgggsgssss',
        '#gggggggggs',
        '###########',
    ],
    'code': [
        '..#.....#..',
        '.#.....#.#.',
        '#.....#...#',
        '.#...#...#.',
        '..#.#...#..',
    ],
    'quote': [
        '.##..##.',
        '#..##..#',
        '###.###.',
        '.##..##.',
        '.#...#..',
        '#...#...',
    ],
    'list': [
        '##.######',
        '##.......',
        '.........',
        '##.######',
        '##.......',
        '.........',
        '##.######',
        '##.......',
    ],
    'smilie': [
        '...#####...',
        '..#yyyyy#..',
        '.#yyyyyyy#.',
        '#yy#yyy#yy#',
        '#yyyyyyyyy#',
        '#y#yyyyy#y#',
        '#yy#yyy#yy#',
        '.#yy###yy#.',
        '..#yyyyy#..',
        '...#####...',
    ],
    'help': [
        '.#####.',
        '##...##',
        '.....##',
        '....##.',
        '...##..',
        '...##..',
        '.......',
        '...##..',
        '...##..',
    ],
}


def draw(glyph):
    px = [[0] * W for _ in range(H)]
    # Raised button: light top and left, shadow and dark edge bottom and right.
    for x in range(W):
        px[0][x] = 1
        px[H - 2][x] = 2
        px[H - 1][x] = 3
    for y in range(H):
        px[y][0] = 1
        px[y][W - 2] = 2
        px[y][W - 1] = 3
    gh, gw = len(glyph), len(glyph[0])
    ox, oy = (W - 1 - gw) // 2, (H - 1 - gh) // 2
    for y, row in enumerate(glyph):
        for x, ch in enumerate(row):
            ink = INK[ch]
            if ink is not None:
                px[oy + y][ox + x] = ink
    return [i for row in px for i in row]


def lzw_plain(indices, min_size):
    """LZW stream that never lets the code table grow past the first code size: a clear code
    every few pixels keeps every decoder at min_size + 1 bits."""
    clear, eoi = 1 << min_size, (1 << min_size) + 1
    size = min_size + 1
    run = (1 << size) - eoi - 4  # codes per clear, with room to spare
    out, acc, nbits = bytearray(), 0, 0

    def emit(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    for i, k in enumerate(indices):
        if i % run == 0:
            emit(clear)
        emit(k)
    emit(eoi)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif(pixels):
    bits = 4  # 16-entry colour table
    table = PALETTE + [(0, 0, 0)] * ((1 << bits) - len(PALETTE))
    out = bytearray(b'GIF89a')
    out += struct.pack('<HHBBB', W, H, 0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0)
    for r, g, b in table:
        out += bytes((r, g, b))
    out += b'\x2c' + struct.pack('<HHHHB', 0, 0, W, H, 0)
    out.append(bits)
    data = lzw_plain(pixels, bits)
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out += b'\x00\x3b'
    return bytes(out)


def main():
    site = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'site')
    folder = os.path.join(site, 'afp')
    os.makedirs(folder, exist_ok=True)
    for name, glyph in GLYPHS.items():
        with open(os.path.join(folder, name + '.gif'), 'wb') as f:
            f.write(gif(draw(glyph)))


if __name__ == '__main__':
    main()
