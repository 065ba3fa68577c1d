"""Shared by the picture generators: a small RGB canvas with a 5x7 font, a GIF89a writer with
real or size-pinned LZW, and a file writer. Standard library only."""

import math
import os
import struct

# ---------------------------------------------------------------------------------------------
# Canvas: a grid of RGB tuples, or None for a transparent pixel.


class Canvas:
    def __init__(self, w, h, bg=None):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.put(x, y0, c)
            self.put(x, y1, c)
        for y in range(y0, y1 + 1):
            self.put(x0, y, c)
            self.put(x1, y, c)

    def bevel(self, x0, y0, x1, y1, face, light, dark):
        self.rect(x0, y0, x1, y1, face)
        for x in range(x0, x1 + 1):
            self.put(x, y0, light)
            self.put(x, y1, dark)
        for y in range(y0, y1 + 1):
            self.put(x0, y, light)
            self.put(x1, y, dark)

    def line(self, x0, y0, x1, y1, c):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.put(x0, y0, c)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def disk(self, cx, cy, r, c):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def ring(self, cx, cy, r, c):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                d = math.hypot(x - cx, y - cy)
                if r - 0.6 <= d <= r + 0.4:
                    self.put(x, y, c)

    def poly(self, pts, c):
        """Fills a polygon (even-odd rule, pixel centres)."""
        ys = [p[1] for p in pts]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            yc = y + 0.5
            xs = []
            for i in range(len(pts)):
                (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % len(pts)]
                if (ya <= yc < yb) or (yb <= yc < ya):
                    xs.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                for x in range(int(math.ceil(xs[i] - 0.5)), int(math.floor(xs[i + 1] - 0.5)) + 1):
                    self.put(x, y, c)

    def text(self, s, x, y, c, scale=1, gap=1):
        for ch in s:
            rows = FONT.get(ch.upper(), FONT[' '])
            for ry, row in enumerate(rows):
                for rx, bit in enumerate(row):
                    if bit == '#':
                        self.rect(x + rx * scale, y + ry * scale,
                                  x + rx * scale + scale - 1, y + ry * scale + scale - 1, c)
            x += (len(rows[0]) + gap) * scale
        return x

    @staticmethod
    def text_width(s, scale=1, gap=1):
        return sum((len(FONT.get(ch.upper(), FONT[' '])[0]) + gap) * scale for ch in s) - gap * scale


# A 5x7 pixel font for the few words the pictures carry.
FONT = {
    ' ': ['...', '...', '...', '...', '...', '...', '...'],
    'A': ['.###.', '#...#', '#...#', '#####', '#...#', '#...#', '#...#'],
    'B': ['####.', '#...#', '#...#', '####.', '#...#', '#...#', '####.'],
    'C': ['.###.', '#...#', '#....', '#....', '#....', '#...#', '.###.'],
    'D': ['####.', '#...#', '#...#', '#...#', '#...#', '#...#', '####.'],
    'E': ['#####', '#....', '#....', '####.', '#....', '#....', '#####'],
    'F': ['#####', '#....', '#....', '####.', '#....', '#....', '#....'],
    'H': ['#...#', '#...#', '#...#', '#####', '#...#', '#...#', '#...#'],
    'I': ['###', '.#.', '.#.', '.#.', '.#.', '.#.', '###'],
    'K': ['#...#', '#..#.', '#.#..', '##...', '#.#..', '#..#.', '#...#'],
    'L': ['#....', '#....', '#....', '#....', '#....', '#....', '#####'],
    'M': ['#...#', '##.##', '#.#.#', '#.#.#', '#...#', '#...#', '#...#'],
    'N': ['#...#', '##..#', '#.#.#', '#..##', '#...#', '#...#', '#...#'],
    'O': ['.###.', '#...#', '#...#', '#...#', '#...#', '#...#', '.###.'],
    'P': ['####.', '#...#', '#...#', '####.', '#....', '#....', '#....'],
    'Q': ['.###.', '#...#', '#...#', '#...#', '#.#.#', '#..#.', '.##.#'],
    'R': ['####.', '#...#', '#...#', '####.', '#.#..', '#..#.', '#...#'],
    'S': ['.####', '#....', '#....', '.###.', '....#', '....#', '####.'],
    'T': ['#####', '..#..', '..#..', '..#..', '..#..', '..#..', '..#..'],
    'U': ['#...#', '#...#', '#...#', '#...#', '#...#', '#...#', '.###.'],
    'W': ['#...#', '#...#', '#...#', '#.#.#', '#.#.#', '##.##', '#...#'],
    'Y': ['#...#', '#...#', '.#.#.', '..#..', '..#..', '..#..', '..#..'],
    'G': ['.###.', '#...#', '#....', '#.###', '#...#', '#...#', '.###.'],
    'V': ['#...#', '#...#', '#...#', '#...#', '#...#', '.#.#.', '..#..'],
    '!': ['#', '#', '#', '#', '#', '.', '#'],
    '?': ['.###.', '#...#', '....#', '..##.', '..#..', '.....', '..#..'],
    '@': ['.###.', '#...#', '#.###', '#.#.#', '#.###', '#....', '.###.'],
    '+': ['.....', '..#..', '..#..', '#####', '..#..', '..#..', '.....'],
}

# ---------------------------------------------------------------------------------------------
# GIF89a: palette from the picture's colours, LZW with variable code size, one transparent index.


def lzw(indices, min_size):
    clear, eoi = 1 << min_size, (1 << min_size) + 1
    out, acc, nbits = bytearray(), 0, 0

    def emit(code, size):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    size = min_size + 1
    table = {(i,): i for i in range(clear)}
    next_code = eoi + 1
    emit(clear, size)
    w = ()
    for k in indices:
        wk = w + (k,)
        if wk in table:
            w = wk
            continue
        emit(table[w], size)
        if next_code < 4096:
            table[wk] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear, size)
            table = {(i,): i for i in range(clear)}
            next_code, size = eoi + 1, min_size + 1
        w = (k,)
    if w:
        emit(table[w], size)
    emit(eoi, size)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


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


def write_gif(w, h, palette, pixels, transparent=False, encode=lzw):
    """One-frame GIF of palette indices; the table is padded to a power of two and, when
    transparent, index 0 is the see-through colour."""
    if len(palette) > 256:
        raise ValueError('too many colours')
    bits = max(1, (len(palette) - 1).bit_length())
    table = list(palette) + [(0, 0, 0)] * ((1 << bits) - len(palette))
    out = bytearray(b'GIF89a')
    out += struct.pack('<HHBBB', w, h, 0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0)
    for r, g, b in table:
        out += bytes((r, g, b))
    if transparent:
        out += bytes((0x21, 0xF9, 4, 0x01, 0, 0, 0, 0))
    out += b'\x2c' + struct.pack('<HHHHB', 0, 0, w, h, 0)
    min_size = max(2, bits)
    out.append(min_size)
    data = encode(pixels, min_size)
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out += b'\x00\x3b'
    return bytes(out)


def canvas_gif(cv):
    """GIF of a Canvas: the palette is its colours in first-seen order, after a transparent slot
    if any pixel is None."""
    colours = []
    for row in cv.px:
        for c in row:
            if c is not None and c not in colours:
                colours.append(c)
    transparent = any(c is None for row in cv.px for c in row)
    palette = ([(255, 255, 255)] if transparent else []) + colours
    # Indexed after padding, so black maps to the last padding slot; the shipped files have it so.
    palette += [(0, 0, 0)] * ((1 << max(1, (len(palette) - 1).bit_length())) - len(palette))
    index = {c: i for i, c in enumerate(palette) if i > 0 or not transparent}
    pixels = [0 if c is None else index[c] for row in cv.px for c in row]
    return write_gif(cv.w, cv.h, palette, pixels, transparent)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)
