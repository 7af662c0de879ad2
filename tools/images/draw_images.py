#!/usr/bin/env python3
"""Draws the front end's raster images (PNG icons and GIF animations) into qmlsource/image.

Pure Python, no libraries: shapes are filled by supersampled coverage and written with zlib
(PNG) and a small LZW encoder (GIF). Run from anywhere: python3 tools/images/draw_images.py
"""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "qmlsource", "image")

LIGHT = (205, 228, 255)
ACTIVE = (0, 205, 255)
GREEN = (70, 215, 120)
RED = (235, 70, 70)
YELLOW = (255, 214, 0)


class Canvas:
    def __init__(self, w, h, ss=4):
        self.w, self.h, self.ss = w, h, ss
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]

    def _coverage(self, inside, bbox):
        x0, y0, x1, y1 = bbox
        x0 = max(0, int(math.floor(x0)) - 1)
        y0 = max(0, int(math.floor(y0)) - 1)
        x1 = min(self.w, int(math.ceil(x1)) + 1)
        y1 = min(self.h, int(math.ceil(y1)) + 1)
        n = self.ss
        offs = [(i + 0.5) / n for i in range(n)]
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for oy in offs:
                    for ox in offs:
                        if inside(x + ox, y + oy):
                            hits += 1
                if hits:
                    yield x, y, hits / (n * n)

    def fill(self, inside, bbox, color, alpha=1.0):
        for x, y, cov in self._coverage(inside, bbox):
            a = cov * alpha
            p = self.px[y * self.w + x]
            out_a = a + p[3] * (1 - a)
            if out_a <= 0:
                continue
            for i in range(3):
                p[i] = (color[i] * a + p[i] * p[3] * (1 - a)) / out_a
            p[3] = out_a

    def erase(self, inside, bbox):
        for x, y, cov in self._coverage(inside, bbox):
            self.px[y * self.w + x][3] *= (1 - cov)

    # Shapes ---------------------------------------------------------------------------------
    def circle(self, cx, cy, r, color, alpha=1.0):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r,
                  (cx - r, cy - r, cx + r, cy + r), color, alpha)

    def ring(self, cx, cy, r, width, color, a0=None, a1=None, alpha=1.0):
        ri, ro = r - width / 2, r + width / 2

        def inside(x, y):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if not (ri * ri <= d2 <= ro * ro):
                return False
            if a0 is None:
                return True
            ang = math.degrees(math.atan2(x - cx, -(y - cy))) % 360  # clockwise from up
            return (ang - a0) % 360 <= (a1 - a0) % 360
        self.fill(inside, (cx - ro, cy - ro, cx + ro, cy + ro), color, alpha)

    def line(self, x0, y0, x1, y1, width, color, alpha=1.0):
        dx, dy = x1 - x0, y1 - y0
        ll = dx * dx + dy * dy or 1e-9
        hw = width / 2

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / ll))
            px, py = x0 + t * dx - x, y0 + t * dy - y
            return px * px + py * py <= hw * hw
        self.fill(inside, (min(x0, x1) - hw, min(y0, y1) - hw, max(x0, x1) + hw, max(y0, y1) + hw),
                  color, alpha)

    def polyline(self, pts, width, color, closed=False):
        seq = pts + ([pts[0]] if closed else [])
        for (a, b) in zip(seq, seq[1:]):
            self.line(a[0], a[1], b[0], b[1], width, color)

    @staticmethod
    def _in_polygon(pts):
        def inside(x, y):
            c = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    c = not c
                j = i
            return c
        return inside

    def polygon(self, pts, color, alpha=1.0):
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        self.fill(self._in_polygon(pts), (min(xs), min(ys), max(xs), max(ys)), color, alpha)

    def erase_polygon(self, pts):
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        self.erase(self._in_polygon(pts), (min(xs), min(ys), max(xs), max(ys)))

    @staticmethod
    def _in_rrect(x, y, w, h, r):
        def inside(px, py):
            if not (x <= px <= x + w and y <= py <= y + h):
                return False
            cx = min(max(px, x + r), x + w - r)
            cy = min(max(py, y + r), y + h - r)
            return (px - cx) ** 2 + (py - cy) ** 2 <= r * r
        return inside

    def rrect(self, x, y, w, h, r, color, alpha=1.0):
        self.fill(self._in_rrect(x, y, w, h, r), (x, y, x + w, y + h), color, alpha)

    def erase_rrect(self, x, y, w, h, r):
        self.erase(self._in_rrect(x, y, w, h, r), (x, y, x + w, y + h))

    def rrect_outline(self, x, y, w, h, r, width, color):
        outer = self._in_rrect(x, y, w, h, r)
        inner = self._in_rrect(x + width, y + width, w - 2 * width, h - 2 * width, max(0, r - width))
        self.fill(lambda px, py: outer(px, py) and not inner(px, py), (x, y, x + w, y + h), color)

    def rgba_bytes(self):
        rows = []
        for y in range(self.h):
            row = bytearray([0])
            for x in range(self.w):
                p = self.px[y * self.w + x]
                row += bytes([int(round(p[0])), int(round(p[1])), int(round(p[2])), int(round(p[3] * 255))])
            rows.append(bytes(row))
        return rows


def write_png(canvas, name):
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xffffffff)
    raw = b"".join(canvas.rgba_bytes())
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(png)


def lzw_encode(indices, min_code_size):
    clear = 1 << min_code_size
    end = clear + 1
    table = {(i,): i for i in range(clear)}
    next_code = end + 1
    code_size = min_code_size + 1
    out, bits, nbits = bytearray(), 0, 0

    def emit(code):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += code_size
        while nbits >= 8:
            out.append(bits & 0xff)
            bits >>= 8
            nbits -= 8

    emit(clear)
    current = ()
    for idx in indices:
        candidate = current + (idx,)
        if candidate in table:
            current = candidate
            continue
        emit(table[current])
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << code_size) and code_size < 12:
                code_size += 1
        else:
            emit(clear)
            table = {(i,): i for i in range(clear)}
            next_code = end + 1
            code_size = min_code_size + 1
        current = (idx,)
    if current:
        emit(table[current])
    emit(end)
    if nbits:
        out.append(bits & 0xff)
    return bytes(out)


def write_gif(frames, name, delay_cs):
    """frames: Canvases of one size. Colours are quantised to 4 bits per channel; pixels under
    half coverage become transparent (index 0)."""
    w, h = frames[0].w, frames[0].h
    palette = [(0, 0, 0)]
    lookup = {}
    frame_indices = []
    for fr in frames:
        idx = []
        for p in fr.px:
            if p[3] < 0.5:
                idx.append(0)
                continue
            key = tuple(min(255, int(round(c / 17)) * 17) for c in p[:3])
            if key not in lookup:
                lookup[key] = len(palette)
                palette.append(key)
            idx.append(lookup[key])
        frame_indices.append(idx)
    if len(palette) > 256:
        raise SystemExit("too many colours for " + name)
    bits = max(1, (len(palette) - 1).bit_length())
    size = 1 << bits
    palette += [(0, 0, 0)] * (size - len(palette))

    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", w, h, 0x80 | (bits - 1), 0, 0)
    for c in palette:
        data += bytes(c)
    data += b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
    min_code = max(2, bits)
    for idx in frame_indices:
        data += b"\x21\xf9\x04" + struct.pack("<BHBB", 0x09, delay_cs, 0, 0)
        data += b"\x2c" + struct.pack("<HHHHB", 0, 0, w, h, 0)
        data.append(min_code)
        encoded = lzw_encode(idx, min_code)
        for i in range(0, len(encoded), 255):
            block = encoded[i:i + 255]
            data.append(len(block))
            data += block
        data.append(0)
    data.append(0x3b)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(bytes(data))


# Icons (64 by 64) ------------------------------------------------------------------------------
S = 64


def icon_connect(active):
    c = Canvas(S, S)
    col = ACTIVE if active else LIGHT

    # Two chain links along the diagonal.
    def link(cx, cy):
        # A capsule outline along the diagonal, centred at (cx, cy).
        d = 9 / math.sqrt(2)
        x0, y0, x1, y1 = cx - d, cy + d, cx + d, cy - d
        dx, dy = x1 - x0, y1 - y0
        ll = dx * dx + dy * dy

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / ll))
            px, py = x0 + t * dx - x, y0 + t * dy - y
            dist = math.sqrt(px * px + py * py)
            return 6.5 <= dist <= 11.5
        c.fill(inside, (cx - 20, cy - 20, cx + 20, cy + 20), col)
    link(23, 41)
    link(41, 23)
    if active:
        c.circle(52, 52, 7, GREEN)
    write_png(c, "icon-connect-active.png" if active else "icon-connect.png")


def icon_sonar(stop):
    c = Canvas(S, S)
    c.ring(32, 32, 26, 5, LIGHT)
    if stop:
        c.rrect(21, 21, 22, 22, 3, RED)
    else:
        c.polygon([(25, 18), (25, 46), (47, 32)], GREEN)
    write_png(c, "icon-stopSonar.png" if stop else "icon-startSonar.png")


def icon_disk(stop):
    c = Canvas(S, S)
    c.rrect_outline(8, 8, 48, 48, 6, 5, LIGHT)
    c.rrect(19, 10, 24, 14, 2, LIGHT)
    c.erase_rrect(35, 13, 5, 8, 1)
    c.rrect_outline(16, 33, 32, 20, 2, 4, LIGHT)
    if stop:
        c.rrect(34, 34, 26, 26, 4, (20, 20, 20))
        c.rrect(37, 37, 20, 20, 3, RED)
    else:
        c.circle(32, 43, 5, RED)
    write_png(c, "icon-stopFile.png" if stop else "icon-saveFile.png")


def icon_folder(active):
    c = Canvas(S, S)
    col = ACTIVE if active else LIGHT
    c.polygon([(6, 14), (24, 14), (29, 20), (58, 20), (58, 52), (6, 52)], col)
    c.erase_polygon([(11, 25), (53, 25), (53, 47), (11, 47)])
    c.polygon([(26, 28), (26, 44), (40, 36)], GREEN if active else col)
    write_png(c, "icon-readFile-active.png" if active else "icon-readFile.png")


def icon_gear(active):
    c = Canvas(S, S)
    col = ACTIVE if active else LIGHT
    c.circle(32, 32, 19, col)
    for k in range(8):
        a = math.radians(k * 45)
        ux, uy = math.cos(a), math.sin(a)
        vx, vy = -uy, ux
        pts = [(32 + ux * r + vx * s, 32 + uy * r + vy * s) for (r, s) in ((15, -5.5), (27, -4), (27, 4), (15, 5.5))]
        c.polygon(pts, col)
    c.erase(lambda x, y: (x - 32) ** 2 + (y - 32) ** 2 <= 64, (22, 22, 42, 42))
    write_png(c, "icon-settings-active.png" if active else "icon-settings.png")


def icon_grid(crossed):
    c = Canvas(S, S)
    c.rrect_outline(9, 9, 46, 46, 3, 4, LIGHT)
    for v in (24.3, 39.7):
        c.line(v, 11, v, 53, 3, LIGHT)
        c.line(11, v, 53, v, 3, LIGHT)
    if crossed:
        c.line(8, 56, 56, 8, 9, (20, 20, 20))
        c.line(10, 54, 54, 10, 5, RED)
    write_png(c, "nowangge.png" if crossed else "wangge.png")


def icon_palette(active):
    c = Canvas(S, S)
    col = ACTIVE if active else LIGHT
    c.circle(32, 32, 26, col)
    c.erase(lambda x, y: (x - 42) ** 2 + (y - 43) ** 2 <= 36, (34, 35, 50, 51))
    c.erase_polygon([(44, 47), (60, 58), (60, 64), (40, 64)])
    for (x, y, colr) in ((20, 24, RED), (32, 16, YELLOW), (44, 24, GREEN), (20, 39, (40, 110, 255))):
        c.circle(x, y, 6, colr)
    write_png(c, "icon-colorpannel-active.png" if active else "icon-colorpannel.png")


def icon_triangle():
    c = Canvas(S, S)
    c.polygon([(46, 12), (46, 52), (14, 32)], LIGHT)
    write_png(c, "icon-triangle.png")


# Animations -----------------------------------------------------------------------------------
def searching_gif():
    frames = []
    n = 12
    for k in range(n):
        c = Canvas(48, 48, ss=3)
        c.ring(24, 24, 20, 3, ACTIVE)
        c.ring(24, 24, 11, 2, ACTIVE)
        head = k * 360 / n
        for j, fade in enumerate((1.0, 0.7, 0.45, 0.25)):
            a1 = head - j * 12
            c.fill(lambda x, y, a0=a1 - 12, a1=a1: (x - 24) ** 2 + (y - 24) ** 2 <= 19 ** 2 and
                   (math.degrees(math.atan2(x - 24, -(y - 24))) - a0) % 360 <= 12,
                   (4, 4, 44, 44), (0, 255, 170) if j == 0 else ACTIVE, fade)
        frames.append(c)
    write_gif(frames, "searching.gif", 8)


def loading_gif():
    frames = []
    n = 12
    for k in range(n):
        c = Canvas(120, 120, ss=3)
        for j in range(n):
            a = math.radians(j * 360 / n)
            age = (k - j) % n
            shade = max(0.15, 1 - age / 8)
            col = tuple(int(round(v * shade + 40 * (1 - shade))) for v in (0, 120, 255))
            c.circle(60 + 44 * math.sin(a), 60 - 44 * math.cos(a), 8, col)
        frames.append(c)
    write_gif(frames, "loading.gif", 8)


def main():
    os.makedirs(OUT, exist_ok=True)
    for flag in (False, True):
        icon_connect(flag)
        icon_sonar(flag)
        icon_disk(flag)
        icon_folder(flag)
        icon_gear(flag)
        icon_grid(flag)
        icon_palette(flag)
    icon_triangle()
    searching_gif()
    loading_gif()


if __name__ == "__main__":
    main()
