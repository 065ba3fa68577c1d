#!/usr/bin/env python3
"""Draws the message editor's toolbar buttons (site/afp/*.gif, 23 by 22 pixels) and writes them as
GIF files. Standard library only. Run: scripts/make_toolbar_images.py [site_dir]"""

import os
import sys

from gifcanvas import lzw_plain, write, write_gif

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


def gif(pixels):
    # Pinned code size: every decoder reads these at 5 bits.
    return write_gif(W, H, PALETTE, pixels, encode=lzw_plain)


def main():
    site = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'site')
    folder = os.path.join(site, 'afp')
    for name, glyph in GLYPHS.items():
        write(os.path.join(folder, name + '.gif'), gif(draw(glyph)))


if __name__ == '__main__':
    main()
