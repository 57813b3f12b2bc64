#!/usr/bin/env python3
"""Draw the wizard's icons, bitmaps and link cursor.

Usage: make_images.py OUTDIR

All pictures are rendered by the small rasteriser below, so the build needs
nothing but a Python 3 interpreter and the output is byte-for-byte stable.
Shapes are point predicates with a bounding box; edges are smoothed by
counting sub-samples (true alpha for icons, ordered dither for the
16-colour bitmap). Every picture is also drawn at 150 % and 200 % for high
DPI screens: icons get PNG entries, the welcome picture is stored as RLE4.
"""
import math
import os
import struct
import sys
import zlib

SS = 4
OFFS = [(i + 0.5) / SS for i in range(SS)]
BAYER = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]
BAYER2 = [[0, 2], [3, 1]]


# ---------------------------------------------------------------- shapes

def circle(cx, cy, r):
    return (lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r,
            (cx - r, cy - r, cx + r, cy + r))


def ellipse(cx, cy, rx, ry):
    return (lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1,
            (cx - rx, cy - ry, cx + rx, cy + ry))


def rrect(x0, y0, x1, y1, r=0.0):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        dx = max(x0 + r - x, 0, x - x1 + r)
        dy = max(y0 + r - y, 0, y - y1 + r)
        return dx * dx + dy * dy <= r * r
    return inside, (x0, y0, x1, y1)


def _seg_d2(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = ((px - ax) * vx + (py - ay) * vy) / ((vx * vx + vy * vy) or 1)
    t = min(1.0, max(0.0, t))
    return (px - ax - t * vx) ** 2 + (py - ay - t * vy) ** 2


def capsule(ax, ay, bx, by, w):
    h = w / 2.0
    return (lambda x, y: _seg_d2(x, y, ax, ay, bx, by) <= h * h,
            (min(ax, bx) - h, min(ay, by) - h, max(ax, bx) + h, max(ay, by) + h))


def polyline(pts, w):
    return union(*[capsule(*pts[i], *pts[i + 1], w) for i in range(len(pts) - 1)])


def _in_poly(pts, x, y):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        (xi, yi), (xj, yj) = pts[i], pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def _edge_d2(pts, x, y):
    return min(_seg_d2(x, y, *pts[i - 1], *pts[i]) for i in range(len(pts)))


def polygon(pts, grow=0.0):
    """Polygon, dilated (grow > 0, rounded corners) or eroded (grow < 0)."""
    xs, ys = [p[0] for p in pts], [p[1] for p in pts]
    g2 = grow * grow

    def inside(x, y):
        if _in_poly(pts, x, y):
            return grow >= 0 or _edge_d2(pts, x, y) >= g2
        return grow > 0 and _edge_d2(pts, x, y) <= g2
    g = max(grow, 0)
    return inside, (min(xs) - g, min(ys) - g, max(xs) + g, max(ys) + g)


def union(*shapes):
    preds = [s[0] for s in shapes]
    bbs = [s[1] for s in shapes]
    return (lambda x, y: any(p(x, y) for p in preds),
            (min(b[0] for b in bbs), min(b[1] for b in bbs),
             max(b[2] for b in bbs), max(b[3] for b in bbs)))


def minus(a, b):
    return (lambda x, y: a[0](x, y) and not b[0](x, y)), a[1]


def place(shape, ox, oy, ang):
    """Rotate a shape drawn around the origin by ang and move it to ox, oy."""
    pred, (x0, y0, x1, y1) = shape
    c, s = math.cos(ang), math.sin(ang)
    pts = [(ox + u * c - v * s, oy + u * s + v * c)
           for u in (x0, x1) for v in (y0, y1)]
    return (lambda x, y: pred((x - ox) * c + (y - oy) * s,
                              -(x - ox) * s + (y - oy) * c),
            (min(p[0] for p in pts), min(p[1] for p in pts),
             max(p[0] for p in pts), max(p[1] for p in pts)))


def disc_gap(cx, yb, rx, ry, t):
    """The visible lower rim between two stacked discs of a cylinder."""
    def inside(x, y):
        u = (x - cx) / rx
        if abs(u) > 1:
            return False
        yc = yb + ry * math.sqrt(1 - u * u)
        return yc <= y <= yc + t
    return inside, (cx - rx, yb, cx + rx, yb + ry + t)


def wrench(length, w, r, slot, g=0.0):
    """Open-ended wrench along +x, head at +length/2; g widens it for outlines."""
    hx = length / 2.0
    body = union(capsule(-hx, 0, hx, 0, w + 2 * g), circle(hx, 0, r + g))
    jaw = rrect(hx - r * 0.2 + g, -slot / 2 + g, hx + r + 2 * g + 1, slot / 2 - g)
    return minus(body, jaw)


# ---------------------------------------------------------------- colour

def mix(a, b, t):
    t = min(1.0, max(0.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def lin(c0, c1, x0, y0, x1, y1):
    vx, vy = x1 - x0, y1 - y0
    n = vx * vx + vy * vy
    return lambda x, y: mix(c0, c1, ((x - x0) * vx + (y - y0) * vy) / n)


def coverage(pred, x, y):
    # corners and centre agreeing means the pixel is clear of any edge; no
    # feature drawn here is thinner than half a pixel
    probe = {pred(x, y), pred(x + 1, y), pred(x, y + 1), pred(x + 1, y + 1),
             pred(x + 0.5, y + 0.5)}
    if len(probe) == 1:
        return 1.0 if probe.pop() else 0.0
    return sum(1 for oy in OFFS for ox in OFFS if pred(x + ox, y + oy)) / float(SS * SS)


def covered(shape, w, h, k=1):
    """(x, y, coverage) of every pixel the shape touches, drawn k times larger."""
    pred, (x0, y0, x1, y1) = shape
    if k != 1:
        art = pred
        pred = lambda x, y: art(x / k, y / k)
        x0, y0, x1, y1 = x0 * k, y0 * k, x1 * k, y1 * k
    for y in range(max(0, int(math.floor(y0))), min(h, int(math.ceil(y1)) + 1)):
        for x in range(max(0, int(math.floor(x0))), min(w, int(math.ceil(x1)) + 1)):
            cov = coverage(pred, x, y)
            if cov:
                yield x, y, cov


class Canvas:
    """Straight-alpha RGBA float canvas; art coordinates are scaled by k."""

    def __init__(self, w, h, k=1):
        self.w, self.h, self.k = round(w * k), round(h * k), k
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(self.w * self.h)]

    def fill(self, shape, color, alpha=1.0):
        k = self.k
        for x, y, cov in covered(shape, self.w, self.h, k):
            c = color((x + 0.5) / k, (y + 0.5) / k) if callable(color) else color
            a = cov * alpha * (c[3] if len(c) > 3 else 1.0)
            d = self.px[y * self.w + x]
            out = a + d[3] * (1 - a)
            for i in range(3):
                d[i] = (c[i] * a + d[i] * d[3] * (1 - a)) / out
            d[3] = out

    def outlined(self, make, fill, line, px=1.0):
        self.fill(make(px), line)
        self.fill(make(0.0), fill)

    def rgba(self, x, y):
        r, g, b, a = self.px[y * self.w + x]
        a = int(round(a * 255))
        if a == 0:
            return 0, 0, 0, 0
        return int(round(r)), int(round(g)), int(round(b)), a


# ---------------------------------------------------------------- writers

def ico_image(cv):
    w, h = cv.w, cv.h
    mask_row = ((w + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for y in range(h - 1, -1, -1):
        bits = bytearray(mask_row)
        for x in range(w):
            r, g, b, a = cv.rgba(x, y)
            xor += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    hdr = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 32, 0,
                      len(xor) + len(mask), 0, 0, 0, 0)
    return hdr + bytes(xor) + bytes(mask)


def png_image(cv):
    """RGBA PNG, as Vista and later read inside an ICO."""
    # filter 0 on every row: Sub/Up/Paeth chosen per row came out larger for
    # this art, whose rows are mostly transparent or flat
    raw = b''.join(b'\0' + b''.join(bytes(cv.rgba(x, y)) for x in range(cv.w))
                   for y in range(cv.h))
    chunk = lambda t, d: (struct.pack('>I', len(d)) + t + d
                          + struct.pack('>I', zlib.crc32(t + d)))
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', cv.w, cv.h, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def write_ico(path, canvases):
    """Base-size entries stay DIBs for older readers; scaled ones are PNG."""
    blobs = [ico_image(cv) if cv.k == 1 else png_image(cv) for cv in canvases]
    out = struct.pack('<HHH', 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for cv, blob in zip(canvases, blobs):
        out += struct.pack('<BBBBHHII', cv.w % 256, cv.h % 256, 0, 0, 1, 32,
                           len(blob), offset)
        offset += len(blob)
    with open(path, 'wb') as f:
        f.write(out + b''.join(blobs))


def rle4_row(line):
    """Encoded runs of alternating nibble pairs, ending the line with 00 00."""
    out, i = bytearray(), 0
    while i < len(line):
        pair = line[i:i + 2] + [0]
        n = 1
        while i + n < len(line) and n < 255 and line[i + n] == pair[n % 2]:
            n += 1
        out += bytes((n, (pair[0] << 4) | pair[1]))
        i += n
    return bytes(out + b'\0\0')


def write_bmp(path, w, h, bpp, rows, palette=(), rle=False):
    """rows: top-down list of packed row bytes (already padded), or of RLE4
    lines from rle4_row when rle is set."""
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    data = b''.join(reversed(rows)) + (b'\0\1' if rle else b'')
    off = 14 + 40 + len(pal)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, bpp, 2 if rle else 0,
                       len(data), 3780, 3780, len(palette), 0)
    with open(path, 'wb') as f:
        f.write(struct.pack('<2sIHHI', b'BM', off + len(data), 0, 0, off))
        f.write(info + pal + data)


def write_cur(path, art, hot):
    """Monochrome cursor: '#' black, '.' white, anything else transparent."""
    xor, mask = bytearray(), bytearray()
    for y in range(31, -1, -1):
        line = art[y] if y < len(art) else ''
        xbits, abits = 0, 0
        for x in range(32):
            ch = line[x] if x < len(line) else ' '
            xbits = (xbits << 1) | (ch == '.')
            abits = (abits << 1) | (ch not in '#.')
        xor += struct.pack('>I', xbits)
        mask += struct.pack('>I', abits)
    img = (struct.pack('<IiiHHIIiiII', 40, 32, 64, 1, 1, 0, len(xor) + len(mask),
                       0, 0, 2, 0)
           + bytes((0, 0, 0, 0, 255, 255, 255, 0)) + bytes(xor) + bytes(mask))
    with open(path, 'wb') as f:
        f.write(struct.pack('<HHH', 0, 2, 1))
        f.write(struct.pack('<BBBBHHII', 32, 32, 2, 0, hot[0], hot[1], len(img), 22))
        f.write(img)


# ---------------------------------------------------------------- pictures

def cylinder(cv, cx, top, bot, rx, ry, gaps, px, cols):
    """Database cylinder of stacked discs; cols = outline, dark, light, lid."""
    line, dark, light, lid = cols
    body = lambda g: union(rrect(cx - rx - g, top, cx + rx + g, bot),
                           ellipse(cx, top, rx + g, ry + g),
                           ellipse(cx, bot, rx + g, ry + g))
    shade = lambda x, y: mix(dark, light, 1 - abs((x - cx) / rx + 0.35) / 1.2)
    cv.outlined(body, shade, line, px)
    for yb in gaps:
        cv.fill(disc_gap(cx, yb, rx, ry, px * 1.1), line)
    cv.fill(ellipse(cx, top, rx, ry), lid)
    cv.fill(ellipse(cx, top + ry * 0.12, rx * 0.8, ry * 0.68),
            lin(mix(lid, dark, 0.25), lid, cx, top - ry, cx, top + ry))


STEEL = ((236, 241, 246), (150, 162, 178), (42, 50, 62))


def app_icon(s):
    cv = Canvas(s, s)
    if s <= 16:  # own layout so the wrench still reads at this size
        cyl, gaps, wr, line = (6.5, 3, 12, 5.5, 2), (5, 8), (9.6, 10.8, 8, 2.0, 2.6, 1.8), 0.7
    else:
        k = s / 32.0
        cyl = [v * k for v in (14, 7.5, 24.5, 11.5, 4.5)]
        gaps = [v * k for v in (13.0, 18.5)]
        wr, line = [v * k for v in (20, 20.5, 18, 3.4, 4.7, 3.5)], 1.0
    cylinder(cv, *cyl, gaps=gaps, px=1.0,
             cols=((12, 52, 92), (22, 92, 150), (104, 196, 226), (168, 226, 240)))
    # the wrench crosses the stack diagonally, head top right
    cx, cy = wr[0], wr[1]
    make = lambda g: place(wrench(*wr[2:], g=g), cx, cy, math.atan2(-1, 1))
    cv.outlined(make, lin(STEEL[0], STEEL[1], cx - s / 8, cy - s / 8, cx + s / 10,
                          cy + s / 10), STEEL[2], line)
    return cv


def status_ok(k=1):
    cv = Canvas(16, 16, k)
    cv.fill(circle(8, 8, 7.6), (22, 110, 44))
    cv.fill(circle(8, 8, 6.6), lin((120, 210, 100), (34, 150, 52), 0, 2, 0, 15))
    cv.fill(ellipse(8, 5.0, 4.6, 2.6), (255, 255, 255, 0.28))
    cv.fill(polyline([(4.5, 8.4), (7.0, 10.9), (11.6, 5.6)], 2.3), (255, 255, 255))
    return cv


def status_problem(k=1):
    # The sign keeps to the left 24 pixels: the page's text begins where the
    # right quarter of this 32-pixel icon lies.
    cv = Canvas(32, 32, k)
    tri = [(11.0, 6.2), (1.0, 24.2), (21.0, 24.2)]
    cv.fill(polygon(tri, 2.4), (16, 16, 16))
    cv.fill(polygon(tri, 0.4), lin((255, 226, 92), (242, 164, 12), 0, 7, 0, 25))
    cv.fill(polygon([(9.65, 11.4), (12.35, 11.4), (11.75, 18.6), (10.25, 18.6)], 0.3),
            (16, 16, 16))
    cv.fill(circle(11.0, 21.3, 1.5), (16, 16, 16))
    return cv


def down_arrow(k=1):
    cv = Canvas(16, 16, k)
    pts = [(5, 1), (11, 1), (11, 7), (14.8, 7), (8, 15), (1.2, 7), (5, 7)]
    cv.fill(polygon(pts), (20, 62, 150))
    cv.fill(polygon(pts, -1.0), lin((130, 190, 255), (36, 108, 222), 0, 2, 0, 13))
    return cv


def repairing(k=1):
    cv = Canvas(32, 32, k)
    # hammer: handle from bottom right, head top left
    ang = math.atan2(-1, -1)
    ox, oy, L = 17.5, 17.5, 24.0
    handle = lambda g: place(capsule(-L / 2, 0, L / 2 - 2, 0, 3.2 + 2 * g), ox, oy, ang)
    head = lambda g: place(rrect(L / 2 - 3.2 - g, -7.2 - g, L / 2 + 3.2 + g,
                                 4.6 + g, 1.2 + g), ox, oy, ang)
    cv.fill(handle(1.0), (70, 38, 14))
    cv.fill(handle(0.0), lin((222, 160, 90), (150, 92, 40), 14, 14, 20, 20))
    cv.outlined(head, lin((206, 212, 220), (104, 114, 128), 3, 3, 12, 12), STEEL[2])
    # wrench on top: handle bottom left, head top right
    make = lambda g: place(wrench(21.0, 3.6, 5.2, 3.8, g=g), 15.2, 16.8, math.atan2(-1, 1))
    cv.outlined(make, lin(STEEL[0], STEEL[1], 12, 12, 22, 22), STEEL[2])
    return cv


def list_images(k=1):
    """Rows of a 32k x 16k strip of two 16k-pixel images."""
    cv = Canvas(32, 16, k)
    check = lambda g: polyline([(3.2, 8.4), (6.4, 11.8), (12.8, 3.8)], 2.6 + 2 * g)
    cv.fill(check(0.7), (12, 40, 120))
    cv.fill(check(0), lin((70, 140, 240), (20, 80, 200), 0, 3, 0, 13))
    cv.fill(circle(24, 8, 7.5), (120, 84, 0))
    cv.fill(circle(24, 8, 6.6), lin((255, 232, 90), (240, 180, 0), 0, 2, 0, 15))
    cv.fill(rrect(23, 3, 25, 9, 0.5), (0, 0, 0))
    cv.fill(rrect(23, 11, 25, 13, 0.6), (0, 0, 0))
    rows = []
    for y in range(cv.h):
        row = bytearray()
        for x in range(cv.w):
            r, g, b, a = cv.px[y * cv.w + x]
            if a < 0.35:
                c = (192, 192, 192)
            else:  # edges are shown on a white list background
                c = tuple(int(round(v)) for v in mix((255, 255, 255), (r, g, b), a))
                if c == (192, 192, 192):
                    c = (191, 192, 193)
            row += bytes((c[2], c[1], c[0]))
        rows.append(bytes(row + bytes(-len(row) % 4)))
    return rows


# 16-colour palette: a blue ramp (0-9) and a teal ramp (10-15)
WELCOME_PAL = [(10, 24, 58), (18, 42, 94), (26, 60, 126), (36, 80, 156),
               (50, 104, 182), (74, 130, 202), (106, 158, 220), (148, 190, 234),
               (196, 222, 246), (255, 255, 255),
               (6, 38, 56), (10, 74, 96), (18, 112, 132), (38, 150, 166),
               (90, 194, 200), (168, 230, 230)]


class IndexCanvas:
    """Palette-index canvas; fractional levels and edges are ordered-dithered.
    Art coordinates are scaled by k."""

    def __init__(self, w, h, k=1, bayer=BAYER):
        self.w, self.h, self.k = round(w * k), round(h * k), k
        self.bayer = bayer
        self.px = [0] * (self.w * self.h)

    def fill(self, shape, level):
        k, m, n = self.k, self.bayer, len(self.bayer)
        for x, y, cov in covered(shape, self.w, self.h, k):
            thr = (m[y % n][x % n] + 0.5) / (n * n)
            if cov > thr * 0.98:
                v = level((x + 0.5) / k, (y + 0.5) / k) if callable(level) else level
                self.px[y * self.w + x] = int(v) + (v - int(v) > thr)


def welcome(k=1):
    """The welcome page's picture as an IndexCanvas."""
    W, H = 164, 312
    # at the larger sizes a 2x2 matrix makes the dither of a row repeat every
    # two pixels, which is what an RLE4 run holds
    cv = IndexCanvas(W, H, k, BAYER if k == 1 else BAYER2)
    bg = lambda x, y: 0.6 + 5.6 * (y / H) ** 1.2 + 0.8 * x / W
    cv.fill(rrect(0, 0, W, H), bg)
    # soft rings and a sweeping arc behind the motif
    for r in (34, 52, 70):
        ring = minus(circle(120, 92, r), circle(120, 92, r - 3))
        cv.fill(ring, lambda x, y: min(9.0, bg(x, y) + 0.9))
    arc = minus(circle(40, 330, 150), circle(40, 330, 143))
    cv.fill(arc, lambda x, y: min(9.0, bg(x, y) + 1.4))
    # data blocks drifting up out of the cylinder
    for x, y, s, lv in ((76, 146, 12, 8.6), (104, 126, 9, 7.8), (60, 114, 8, 7.2),
                        (122, 148, 8, 8.2), (118, 98, 7, 6.8), (86, 88, 6, 6.4),
                        (140, 116, 5, 7.2), (70, 66, 5, 6.0), (108, 58, 4, 5.6),
                        (92, 36, 4, 5.2), (130, 30, 3, 4.8), (56, 150, 5, 8.0)):
        cv.fill(rrect(x, y, x + s, y + s, s * 0.2), lv)
    # the database stack
    cx, rx, ry, top, bot = 100, 46, 14, 186, 258
    shade = lambda x, y: 11.0 + 3.99 * max(0.0, 1 - abs((x - cx) / rx + 0.4) / 1.25)
    cv.fill(union(rrect(cx - rx - 2, top, cx + rx + 2, bot),
                  ellipse(cx, bot, rx + 2, ry + 2), ellipse(cx, top, rx + 2, ry + 2)), 10)
    cv.fill(union(rrect(cx - rx, top, cx + rx, bot), ellipse(cx, bot, rx, ry)), shade)
    for yb in (210, 234):
        cv.fill(disc_gap(cx, yb, rx, ry, 2.5), 10)
    cv.fill(ellipse(cx, top, rx, ry), 15)
    cv.fill(ellipse(cx, top + 1.5, rx * 0.84, ry * 0.7),
            lambda x, y: 14.0 + 0.99 * (y - top + ry) / (2 * ry))
    # wrench across the lower right of the stack
    make = lambda g: place(wrench(58, 9, 13, 10, g=g), 116, 250, math.atan2(-1, 1.3))
    cv.fill(make(2.0), 0)
    cv.fill(make(0.0), lambda x, y: 9.0 - 1.99 * min(1.0, max(0.0, (x + y - 330) / 60)))
    return cv


def rows4(cv):
    """Top-down 4 bpp rows, padded to whole DWORDs."""
    rows = []
    for y in range(cv.h):
        line = cv.px[y * cv.w:(y + 1) * cv.w] + [0]
        row = bytes((line[i] << 4) | line[i + 1] for i in range(0, cv.w, 2))
        rows.append(row + bytes(-len(row) % 4))
    return rows


def rows_rle4(cv):
    return [rle4_row(cv.px[y * cv.w:(y + 1) * cv.w]) for y in range(cv.h)]


HAND = [
    "     #",
    "    #.#",
    "   #...#",
    "   #...#",
    "   #...#",
    "   #...#",
    "   #...####",
    "   #...#...###",
    "   #...#...#...#",
    "   #...#...#...###",
    "   #...#...#...#..#",
    " ###...#...#...#..#",
    "#..#...#...#...#..#",
    "#...#.............#",
    "#.................#",
    " #................#",
    "  #...............#",
    "   #.............#",
    "    #............#",
    "    #...........#",
    "     #..........#",
    "     #..........#",
    "     ############",
]


def main():
    if len(sys.argv) != 2:
        sys.exit('usage: make_images.py OUTDIR')
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    p = lambda name: os.path.join(out, name)
    write_ico(p('app.ico'), [app_icon(16), app_icon(32), app_icon(48)])
    for name, draw in (('status_ok', status_ok), ('status_problem', status_problem),
                       ('down_arrow', down_arrow), ('repairing', repairing)):
        write_ico(p(name + '.ico'), [draw(k) for k in (1, 1.5, 2)])
    cv = welcome()
    write_bmp(p('welcome.bmp'), cv.w, cv.h, 4, rows4(cv), WELCOME_PAL)
    for k, suffix in ((1.5, '150'), (2, '200')):
        cv = welcome(k)
        write_bmp(p('welcome%s.bmp' % suffix), cv.w, cv.h, 4, rows_rle4(cv),
                  WELCOME_PAL, rle=True)
    for k, suffix in ((1, ''), (1.5, '150'), (2, '200')):
        write_bmp(p('list_images%s.bmp' % suffix), round(32 * k), round(16 * k), 24,
                  list_images(k))
    write_cur(p('link_hand.cur'), HAND, (5, 0))


if __name__ == '__main__':
    main()
