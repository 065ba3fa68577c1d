#!/usr/bin/env python3
"""Draws the board's small pictures (site/images/, site/icon/) and writes them as GIF and baseline
JPEG files. Standard library only: the JPEG encoder is below,
the canvas and GIF writer are in gifcanvas.py. Run: scripts/make_images.py [site_dir]"""

import math
import os
import struct
import sys

from gifcanvas import Canvas, canvas_gif, write

# ---------------------------------------------------------------------------------------------
# Baseline JPEG (YCbCr 4:4:4, the standard quantisation and Huffman tables at quality 85).

ZIGZAG = [0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48, 41, 34,
          27, 20, 13, 6, 7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37,
          44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63]
Q_LUMA = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57,
          69, 56, 14, 17, 22, 29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64,
          81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
Q_CHROMA = [17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
            99, 99, 47, 66, 99, 99, 99, 99, 99, 99] + [99] * 32
DC_LUMA = ([0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0], list(range(12)))
DC_CHROMA = ([0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0], list(range(12)))
AC_LUMA = ([0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d], bytes.fromhex(
    '01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282090a161718191a2526'
    '2728292a3435363738393a434445464748494a535455565758595a636465666768696a737475767778797a838485'
    '868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6'
    'd7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9fa'))
AC_CHROMA = ([0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77], bytes.fromhex(
    '00010203110405213106124151076171132232810814429 1a1b1c10923335 2f0156272d10a162434e125f11718'
    '191a262728292a35363738393a434445464748494a535455565758595a636465666768696a737475767778797a82'
    '838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3'
    'd4d5d6d7d8d9dae2e3e4e5e6e7e8e9eaf2f3f4f5f6f7f8f9fa'.replace(' ', '')))


def scaled(q, quality=85):
    f = 5000 / quality if quality < 50 else 200 - 2 * quality
    return [min(255, max(1, (v * f + 50) // 100)) for v in q]


def huff_codes(spec):
    counts, symbols = spec
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(counts[length - 1]):
            codes[symbols[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


class BitWriter:
    def __init__(self):
        self.out, self.acc, self.n = bytearray(), 0, 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0)
                self.acc, self.n = 0, 0

    def flush(self):
        if self.n:
            self.put((1 << (8 - self.n)) - 1, 8 - self.n)


COS = [[math.cos((2 * x + 1) * u * math.pi / 16) for x in range(8)] for u in range(8)]


def fdct(block):
    res = [0.0] * 64
    for v in range(8):
        for u in range(8):
            s = 0.0
            for y in range(8):
                cy = COS[v][y]
                row = block[y * 8:(y + 1) * 8]
                s += cy * sum(row[x] * COS[u][x] for x in range(8))
            cu = math.sqrt(0.5) if u == 0 else 1.0
            cv = math.sqrt(0.5) if v == 0 else 1.0
            res[v * 8 + u] = 0.25 * cu * cv * s
    return res


def magnitude(v):
    n = abs(v).bit_length()
    return n, (v if v >= 0 else v + (1 << n) - 1)


def jpeg_bytes(cv, background=(255, 255, 255)):
    ql, qc = scaled(Q_LUMA), scaled(Q_CHROMA)
    dcl, dcc, acl, acc = (huff_codes(DC_LUMA), huff_codes(DC_CHROMA), huff_codes(AC_LUMA),
                          huff_codes(AC_CHROMA))
    out = bytearray(b'\xff\xd8')
    out += b'\xff\xe0' + struct.pack('>H5sBBBHHBB', 16, b'JFIF\0', 1, 1, 0, 1, 1, 0, 0)
    for tid, q in ((0, ql), (1, qc)):
        out += b'\xff\xdb' + struct.pack('>HB', 67, tid) + bytes(q[ZIGZAG[i]] for i in range(64))
    out += b'\xff\xc0' + struct.pack('>HBHHB', 17, 8, cv.h, cv.w, 3)
    out += bytes((1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1))
    for cls_id, spec in ((0x00, DC_LUMA), (0x10, AC_LUMA), (0x01, DC_CHROMA), (0x11, AC_CHROMA)):
        counts, symbols = spec
        out += b'\xff\xc4' + struct.pack('>HB', 3 + 16 + len(symbols), cls_id)
        out += bytes(counts) + bytes(symbols)
    out += b'\xff\xda' + struct.pack('>HB', 12, 3) + bytes((1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0))

    def pixel(x, y):
        c = cv.px[min(y, cv.h - 1)][min(x, cv.w - 1)]
        return background if c is None else c

    bw = BitWriter()
    prev = [0, 0, 0]
    for by in range(0, cv.h, 8):
        for bx in range(0, cv.w, 8):
            planes = [[], [], []]
            for y in range(8):
                for x in range(8):
                    r, g, b = pixel(bx + x, by + y)
                    planes[0].append(0.299 * r + 0.587 * g + 0.114 * b - 128)
                    planes[1].append(-0.168736 * r - 0.331264 * g + 0.5 * b)
                    planes[2].append(0.5 * r - 0.418688 * g - 0.081312 * b)
            for comp in range(3):
                q, dc, ac = (ql, dcl, acl) if comp == 0 else (qc, dcc, acc)
                coef = fdct(planes[comp])
                zz = [int(round(coef[ZIGZAG[i]] / q[ZIGZAG[i]])) for i in range(64)]
                diff = zz[0] - prev[comp]
                prev[comp] = zz[0]
                n, bits = magnitude(diff)
                bw.put(*dc[n])
                if n:
                    bw.put(bits, n)
                run = 0
                for k in range(1, 64):
                    if zz[k] == 0:
                        run += 1
                        continue
                    while run > 15:
                        bw.put(*ac[0xF0])
                        run -= 16
                    n, bits = magnitude(zz[k])
                    bw.put(*ac[(run << 4) | n])
                    bw.put(bits, n)
                    run = 0
                if run:
                    bw.put(*ac[0x00])
    bw.flush()
    out += bw.out + b'\xff\xd9'
    return bytes(out)


# ---------------------------------------------------------------------------------------------
# The pictures.

WHITE, BLACK = (255, 255, 255), (0, 0, 0)
NAVY, BLUE, SKY = (0, 0, 128), (51, 102, 204), (153, 204, 255)
YELLOW, PALE, ORANGE = (255, 204, 51), (255, 238, 170), (255, 136, 0)
RED, DRED, GREEN = (220, 20, 20), (150, 0, 0), (0, 150, 60)
GREY, LGREY, DGREY = (150, 150, 150), (214, 214, 214), (90, 90, 90)
CORK, CORKD, CORKL = (196, 148, 92), (150, 104, 58), (222, 184, 135)
SKIN = (255, 214, 170)


def folder(w, h, face, edge, ox=0, oy=0):
    cv = Canvas(w, h)
    cv.rect(ox + 1, oy + 2, ox + 7, oy + 4, face)
    cv.frame(ox + 1, oy + 2, ox + 7, oy + 4, edge)
    cv.rect(ox + 1, oy + 4, ox + 15, oy + 13, face)
    cv.frame(ox + 1, oy + 4, ox + 15, oy + 13, edge)
    cv.line(ox + 2, oy + 5, ox + 14, oy + 5, WHITE)
    return cv


def star(cv, cx, cy, r_out, r_in, c, points=5):
    pts = []
    for i in range(points * 2):
        r = r_out if i % 2 == 0 else r_in
        a = -math.pi / 2 + i * math.pi / points
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    cv.poly(pts, c)


def envelope(w, h, face, edge, x0=0, y0=0):
    cv = Canvas(w, h)
    draw_envelope(cv, x0, y0, x0 + w - 1, y0 + h - 1, face, edge)
    return cv


def draw_envelope(cv, x0, y0, x1, y1, face, edge):
    cv.rect(x0, y0, x1, y1, face)
    cv.frame(x0, y0, x1, y1, edge)
    mx, my = (x0 + x1) // 2, (y0 + y1) // 2 + 1
    cv.line(x0, y0, mx, my, edge)
    cv.line(x1, y0, mx, my, edge)


def flame(cv, cx, by):
    cv.poly([(cx - 3, by), (cx + 4, by), (cx + 3, by - 5), (cx + 1, by - 3), (cx, by - 8),
             (cx - 2, by - 4), (cx - 3, by - 5)], ORANGE)
    cv.poly([(cx - 1, by), (cx + 2, by), (cx + 1, by - 3), (cx, by - 2)], YELLOW)


def person(cv, cx, top, body, head=SKIN):
    cv.disk(cx, top + 2.5, 2.6, head)
    cv.poly([(cx - 4.5, top + 11), (cx + 5.5, top + 11), (cx + 4, top + 6), (cx - 3, top + 6)], body)


def board_pictures():
    p = {}
    # Forum index markers (22x15): a lit folder for new posts, a pale one without.
    on = folder(22, 15, YELLOW, DGREY, ox=2)
    star(on, 16.5, 4.5, 4.5, 2, RED)
    p['images/on.gif'] = on
    p['images/off.gif'] = folder(22, 15, LGREY, GREY, ox=2)

    # Topic-list markers (18x16 and 18x17 for the hot ones).
    p['images/closed.gif'] = folder(18, 16, PALE, GREY, ox=1)
    cb = folder(18, 16, YELLOW, DGREY, ox=1)
    cb.disk(14, 4, 2.6, RED)
    p['images/closedb.gif'] = cb
    hot = folder(18, 17, PALE, GREY, ox=0, oy=1)
    flame(hot, 13, 16)
    p['images/hotclosed.gif'] = hot
    hotb = folder(18, 17, YELLOW, DGREY, ox=0, oy=1)
    flame(hotb, 13, 16)
    hotb.disk(14, 3, 2.4, RED)
    p['images/hotclosedb.gif'] = hotb
    lock = Canvas(18, 16)
    lock.ring(9, 6, 4, DGREY)
    lock.rect(3, 7, 14, 15, YELLOW)
    lock.frame(3, 7, 14, 15, DGREY)
    lock.rect(8, 10, 9, 13, DGREY)
    p['images/lock.gif'] = lock

    # Private messages (28x20) and the online row (28x20).
    pm_on = Canvas(28, 20)
    draw_envelope(pm_on, 1, 4, 24, 18, YELLOW, DGREY)
    star(pm_on, 22, 5, 5, 2.2, RED)
    p['images/pm_on_b.gif'] = pm_on
    pm_off = Canvas(28, 20)
    draw_envelope(pm_off, 1, 4, 24, 18, LGREY, GREY)
    p['images/pm_off_b.gif'] = pm_off
    online = Canvas(28, 20)
    person(online, 9, 4, BLUE)
    person(online, 18, 5, GREEN)
    online.line(2, 18, 25, 18, GREY)
    p['images/online.gif'] = online

    # Breadcrumbs.
    opn = Canvas(16, 14)
    opn.rect(1, 2, 6, 3, YELLOW)
    opn.frame(1, 2, 6, 3, DGREY)
    opn.rect(1, 3, 13, 12, YELLOW)
    opn.frame(1, 3, 13, 12, DGREY)
    opn.poly([(3, 6), (15.5, 6), (13, 12.9), (1, 12.9)], PALE)
    opn.line(3, 6, 15, 6, DGREY)
    opn.line(15, 6, 13, 12, DGREY)
    p['images/open.gif'] = opn
    tline = Canvas(16, 16)
    for y in range(0, 9, 2):
        tline.put(4, y, GREY)
    for x in range(4, 16, 2):
        tline.put(x, 8, GREY)
    p['images/tline.gif'] = tline
    tline3 = Canvas(32, 16)
    for y in range(0, 9, 2):
        tline3.put(20, y, GREY)
    for x in range(20, 32, 2):
        tline3.put(x, 8, GREY)
    p['images/tline3.gif'] = tline3

    ann = Canvas(16, 16)
    ann.poly([(2, 6), (6, 6), (13, 1.5), (13, 14.5), (6, 10), (2, 10)], ORANGE)
    ann.rect(4, 10, 5, 14, DGREY)
    ann.line(14, 5, 15, 4, RED)
    ann.line(14, 11, 15, 12, RED)
    p['images/announce.gif'] = ann
    mp = Canvas(12, 13)
    for off, c in ((4, LGREY), (2, PALE), (0, WHITE)):
        mp.rect(off, 4 - off, off + 7, 12 - off, c)
        mp.frame(off, 4 - off, off + 7, 12 - off, DGREY)
    p['images/multipage.gif'] = mp
    nw = Canvas(15, 13)
    nw.rect(0, 2, 11, 12, WHITE)
    nw.frame(0, 2, 11, 12, NAVY)
    nw.rect(0, 2, 11, 4, NAVY)
    nw.line(7, 10, 13, 4, RED)
    nw.poly([(9.5, 1.5), (14.5, 1.5), (14.5, 6.5)], RED)
    p['images/newwin.gif'] = nw

    # Thread view and member pages.
    mini = Canvas(16, 16)
    draw_envelope(mini, 0, 5, 11, 13, PALE, DGREY)
    person(mini, 12, 2, GREEN)
    p['images/cbkfriendminiicon.gif'] = mini
    prof = Canvas(16, 16)
    prof.rect(0, 2, 15, 13, WHITE)
    prof.frame(0, 2, 15, 13, NAVY)
    person(prof, 5, 3, BLUE)
    for y in (5, 8, 11):
        prof.line(9, y, 13, y, GREY)
    p['images/profile.gif'] = prof
    oicq = Canvas(16, 16)
    oicq.disk(8, 9, 6.5, BLACK)
    oicq.disk(8, 10, 4.6, WHITE)
    oicq.disk(6, 5, 1, WHITE)
    oicq.disk(10, 5, 1, WHITE)
    oicq.poly([(6, 7), (10, 7), (8, 9)], ORANGE)
    oicq.rect(4, 14, 12, 15, RED)
    p['images/oicq.gif'] = oicq
    p['images/email.gif'] = envelope(16, 12, PALE, NAVY)
    home = Canvas(16, 16)
    home.poly([(0, 8), (8, 0.5), (16, 8)], RED)
    home.rect(2, 8, 13, 15, PALE)
    home.frame(2, 8, 13, 15, DGREY)
    home.rect(6, 11, 9, 15, CORKD)
    p['images/home.gif'] = home
    find = Canvas(16, 16)
    find.disk(6, 6, 5.2, NAVY)
    find.disk(6, 6, 3.8, SKY)
    for i in range(5):
        find.rect(9 + i, 9 + i, 10 + i, 10 + i, DGREY)
    p['images/find.gif'] = find
    post = Canvas(15, 15)
    post.rect(2, 0, 12, 14, WHITE)
    post.frame(2, 0, 12, 14, DGREY)
    for y in (3, 6, 9, 12):
        post.line(4, y, 10, y, BLUE)
    p['images/posticon.gif'] = post
    postn = Canvas(15, 15)
    postn.px = [row[:] for row in post.px]
    star(postn, 10.5, 4.5, 4.5, 2, RED)
    p['images/posticonnew.gif'] = postn
    dot = Canvas(2, 8, BLUE)
    dot.line(0, 0, 1, 0, SKY)
    p['images/dot.gif'] = dot

    # Banners.
    sh = Canvas(250, 50, WHITE)
    sh.rect(0, 0, 249, 49, NAVY)
    sh.rect(2, 2, 247, 47, BLUE)
    sh.disk(25, 22, 13, WHITE)
    sh.disk(25, 22, 9.5, SKY)
    sh.poly([(33, 30), (37, 27), (47, 39), (43, 42)], WHITE)
    sh.text('SEARCH', 58, 11, WHITE, scale=4)
    p['images/searchhead.gif'] = sh
    fr = Canvas(150, 50, WHITE)
    fr.rect(0, 0, 149, 49, GREEN)
    fr.rect(2, 2, 147, 47, (230, 245, 230))
    draw_envelope(fr, 8, 12, 43, 37, PALE, DGREY)
    fr.text('SEND TO', 52, 10, GREEN, scale=2)
    fr.text('A FRIEND', 52, 28, GREEN, scale=2)
    p['images/cbkfriend.gif'] = fr
    p['images/title.gif'] = title_picture()
    return p


def title_picture():
    w, h = 276, 75
    cv = Canvas(w, h, CORK)
    seed = 7
    for y in range(h):
        for x in range(w):
            seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
            r = seed >> 16
            if r % 9 == 0:
                cv.put(x, y, CORKD)
            elif r % 11 == 0:
                cv.put(x, y, CORKL)
    cv.frame(0, 0, w - 1, h - 1, CORKD)
    cv.frame(1, 1, w - 2, h - 2, CORKD)
    # A note card pinned to the board, with the name in block letters.
    cv.rect(21, 17, 258, 63, (120, 90, 60))
    cv.rect(18, 14, 255, 60, (255, 252, 230))
    cv.frame(18, 14, 255, 60, (200, 190, 150))
    tw = Canvas.text_width('CORKBOARD', scale=4)
    cv.text('CORKBOARD', 18 + (238 - tw) // 2 + 1, 24 + 1, LGREY, scale=4)
    cv.text('CORKBOARD', 18 + (238 - tw) // 2, 24, NAVY, scale=4)
    for x, c in ((36, RED), (237, BLUE)):
        cv.disk(x, 12, 5, c)
        cv.disk(x - 1.5, 10.5, 1.6, WHITE)
    return cv


def button(label, face, width):
    cv = Canvas(width, 24)
    cv.bevel(0, 0, width - 1, 23, face, WHITE, DGREY)
    cv.frame(1, 1, width - 2, 22, face)
    tw = Canvas.text_width(label, scale=2)
    cv.text(label, (width - tw) // 2 + 1, 6, DGREY, scale=2)
    cv.text(label, (width - tw) // 2, 5, WHITE, scale=2)
    return cv


def icon_pictures():
    p = {}

    def face(mouth, colour=YELLOW):
        cv = Canvas(15, 15)
        cv.disk(7, 7, 6.6, DGREY)
        cv.disk(7, 7, 5.6, colour)
        cv.rect(4, 4, 5, 5, BLACK)
        cv.rect(9, 4, 10, 5, BLACK)
        mouth(cv)
        return cv

    def smile(cv):
        for x, y in ((4, 9), (5, 10), (6, 10), (7, 10), (8, 10), (9, 10), (10, 9)):
            cv.put(x, y, BLACK)

    def frown(cv):
        for x, y in ((4, 11), (5, 10), (6, 10), (7, 10), (8, 10), (9, 10), (10, 11)):
            cv.put(x, y, BLACK)

    def flat(cv):
        cv.line(4, 10, 10, 10, BLACK)
        cv.line(3, 2, 6, 3, BLACK)
        cv.line(11, 2, 8, 3, BLACK)

    doc = Canvas(15, 15)
    doc.rect(2, 0, 12, 14, WHITE)
    doc.frame(2, 0, 12, 14, DGREY)
    for y in (3, 6, 9, 12):
        doc.line(4, y, 10, y, GREY)
    p[1] = doc
    p[2] = face(smile)
    p[3] = face(frown)
    excl = Canvas(15, 15)
    excl.poly([(7.5, 0), (15, 14.5), (0, 14.5)], YELLOW)
    excl.rect(7, 4, 7, 10, BLACK)
    excl.put(7, 12, BLACK)
    p[4] = excl
    p[5] = Canvas(15, 15)
    p[5].disk(7, 7, 7, BLUE)
    p[5].text('?', 5, 4, WHITE)
    bulb = Canvas(15, 15)
    bulb.disk(7, 6, 4.8, YELLOW)
    bulb.rect(5, 10, 9, 13, GREY)
    bulb.line(5, 12, 9, 12, DGREY)
    bulb.line(7, 3, 7, 6, ORANGE)
    p[6] = bulb
    ok = Canvas(15, 15)
    ok.poly([(1, 8), (4, 5), (6, 8), (12, 1), (14.5, 4), (6, 13.5)], GREEN)
    p[7] = ok
    heart = Canvas(15, 15)
    heart.disk(4.5, 5, 3.6, RED)
    heart.disk(10.5, 5, 3.6, RED)
    heart.poly([(1, 6), (14, 6), (7.5, 14)], RED)
    p[8] = heart
    st = Canvas(15, 15)
    star(st, 7.5, 8, 7.4, 3, ORANGE)
    p[9] = st
    arrow = Canvas(15, 15)
    arrow.poly([(1, 5), (8, 5), (8, 1), (14.5, 7.5), (8, 14), (8, 10), (1, 10)], BLUE)
    p[10] = arrow
    x = Canvas(15, 15)
    x.disk(7, 7, 7, RED)
    for i in range(-1, 2):
        x.line(4 + i, 4, 10 + i, 10, WHITE)
        x.line(10 + i, 4, 4 + i, 10, WHITE)
    p[11] = x
    sun = Canvas(15, 15)
    for a in range(8):
        ang = a * math.pi / 4
        sun.line(7, 7, int(round(7 + 7 * math.cos(ang))), int(round(7 + 7 * math.sin(ang))), ORANGE)
    sun.disk(7, 7, 4, YELLOW)
    p[12] = sun
    note = Canvas(15, 15)
    note.disk(4, 11, 2.5, NAVY)
    note.disk(11, 10, 2.5, NAVY)
    note.rect(6, 2, 6, 11, NAVY)
    note.rect(13, 1, 13, 10, NAVY)
    note.poly([(6, 1), (14, 0), (14, 3), (6, 4)], NAVY)
    p[13] = note
    p[14] = face(flat, (255, 120, 90))
    out = {'icon/icon%d.gif' % n: cv for n, cv in p.items()}

    user = Canvas(15, 15)
    star(user, 7.5, 8, 7, 3, GREY)
    out['icon/user.gif'] = user
    user1 = Canvas(15, 15)
    star(user1, 7.5, 8, 7, 3, YELLOW)
    star(user1, 7.5, 8, 4.5, 2, ORANGE)
    out['icon/user1.gif'] = user1
    admin = Canvas(17, 15)
    admin.poly([(1, 4), (5, 8), (8.5, 1), (12, 8), (16, 4), (14, 13), (3, 13)], YELLOW)
    admin.line(3, 13, 13, 13, ORANGE)
    admin.disk(8.5, 9, 1.5, RED)
    out['icon/admin.gif'] = admin
    return out


def thread_icons():
    """The action icons of a post's row in the thread view (16x16)."""
    p = {}
    favor = Canvas(16, 16)
    star(favor, 8, 8.5, 7.5, 3.2, YELLOW)
    p['images/favor.gif'] = favor
    msg = Canvas(16, 16)
    draw_envelope(msg, 0, 4, 13, 13, PALE, NAVY)
    msg.poly([(10, 0.5), (15.5, 3.5), (10, 6.5)], RED)
    p['images/message.gif'] = msg
    edit = Canvas(16, 16)
    edit.rect(1, 1, 10, 14, WHITE)
    edit.frame(1, 1, 10, 14, DGREY)
    for i in range(7):
        edit.rect(7 + i // 2 * 0 + i, 13 - i, 8 + i, 14 - i, ORANGE)
    edit.put(6, 14, DGREY)
    p['images/edit.gif'] = edit
    quote = Canvas(16, 16)
    quote.rect(0, 1, 15, 14, PALE)
    quote.frame(0, 1, 15, 14, DGREY)
    for x in (3, 9):
        quote.disk(x + 1.5, 6, 2, NAVY)
        quote.line(x + 3, 6, x + 1, 11, NAVY)
    p['images/quote.gif'] = quote
    copy = Canvas(16, 16)
    for off, c in ((0, LGREY), (4, WHITE)):
        copy.rect(off, off, off + 10, off + 11, c)
        copy.frame(off, off, off + 10, off + 11, DGREY)
    p['images/copy.gif'] = copy
    pack = Canvas(16, 16)
    pack.rect(1, 4, 14, 15, CORKD)
    pack.frame(1, 4, 14, 15, DGREY)
    pack.poly([(1, 4), (4, 0.5), (11, 0.5), (14, 4)], ORANGE)
    pack.line(1, 9, 14, 9, DGREY)
    p['images/pack.gif'] = pack
    ip = Canvas(16, 16)
    ip.rect(0, 2, 15, 13, NAVY)
    ip.text('IP', 3, 5, WHITE)
    p['images/ip.gif'] = ip
    icq = Canvas(16, 16)
    for dx, dy in ((0, -4), (4, 0), (0, 4), (-4, 0), (3, -3), (3, 3), (-3, 3), (-3, -3)):
        icq.disk(8 + dx, 8 + dy, 2.3, GREEN)
    icq.disk(8, 8, 2.5, RED)
    p['images/icq.gif'] = icq
    return p


def main():
    site = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'site')
    pictures = board_pictures()
    pictures.update(icon_pictures())
    pictures.update(thread_icons())
    for name, cv in sorted(pictures.items()):
        write(os.path.join(site, name), canvas_gif(cv))
    write(os.path.join(site, 'images', 'postnew.jpg'), jpeg_bytes(button('NEW TOPIC', BLUE, 104)))
    write(os.path.join(site, 'images', 'reply5.jpg'), jpeg_bytes(button('REPLY', GREEN, 72)))


if __name__ == '__main__':
    main()
