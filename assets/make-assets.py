#!/usr/bin/env python3
"""Draws the window pictures of the exam client: calm blue and grey shapes, no text.

The four bitmaps are written as 24-bit BMP files by this script alone (standard library only);
the notice background is drawn here as a PPM and turned into a JPEG by ImageMagick's convert.
Run it from anywhere: the files land beside the script. The output is deterministic.
"""
import math
import os
import random
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


class Canvas:
    def __init__(self, width, height, colour=(255, 255, 255)):
        self.width, self.height = width, height
        self.rows = [[colour] * width for _ in range(height)]

    def shade(self, fn):
        """Sets every pixel to fn(x, y, old colour)."""
        for y in range(self.height):
            row = self.rows[y]
            for x in range(self.width):
                row[x] = fn(x, y, row[x])

    def rect(self, x0, y0, x1, y1, colour, alpha=1.0, radius=0):
        for y in range(max(0, y0), min(self.height, y1)):
            row = self.rows[y]
            for x in range(max(0, x0), min(self.width, x1)):
                if radius:
                    cx = min(max(x, x0 + radius), x1 - 1 - radius)
                    cy = min(max(y, y0 + radius), y1 - 1 - radius)
                    d = math.hypot(x - cx, y - cy) - radius
                    if d > 0.5:
                        continue
                    a = alpha * min(1.0, 0.5 - d) if d > -0.5 else alpha
                else:
                    a = alpha
                row[x] = mix(row[x], colour, a)

    def circle(self, cx, cy, r, colour, alpha=1.0, ring=0):
        for y in range(max(0, int(cy - r - 1)), min(self.height, int(cy + r + 2))):
            row = self.rows[y]
            for x in range(max(0, int(cx - r - 1)), min(self.width, int(cx + r + 2))):
                d = math.hypot(x - cx, y - cy)
                inside = min(1.0, max(0.0, r - d + 0.5))
                if ring:
                    inside *= min(1.0, max(0.0, d - (r - ring) + 0.5))
                if inside > 0:
                    row[x] = mix(row[x], colour, alpha * inside)

    def write_bmp(self, path):
        stride = (self.width * 3 + 3) & ~3
        pad = b"\0" * (stride - self.width * 3)
        pixels = bytearray()
        for y in range(self.height - 1, -1, -1):  # bottom-up rows
            for (r, g, b) in self.rows[y]:
                pixels += bytes((b, g, r))
            pixels += pad
        header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0,
                           len(pixels), 2835, 2835, 0, 0)
        with open(path, "wb") as f:
            f.write(header + info + pixels)

    def write_ppm(self, path):
        with open(path, "wb") as f:
            f.write(b"P6 %d %d 255\n" % (self.width, self.height))
            f.write(bytes(c for row in self.rows for px in row for c in px))


NAVY = (31, 64, 112)
BLUE = (58, 110, 165)
SKY = (214, 228, 242)
MIST = (236, 241, 247)
GREY = (200, 207, 216)
WHITE = (255, 255, 255)


def login_background():
    # 1000 x 400: a soft vertical gradient with a darker band under the login panel.
    c = Canvas(1000, 400)
    c.shade(lambda x, y, _: mix(MIST, SKY, y / 399))
    c.rect(0, 0, 1000, 6, BLUE)
    c.rect(0, 394, 1000, 400, BLUE)
    c.rect(0, 300, 1000, 302, GREY)
    for i in range(5):
        c.circle(60 + i * 26, 48, 7, BLUE, 0.25 + 0.12 * i)
    c.circle(930, 350, 140, WHITE, 0.25, ring=28)
    return c


def banner():
    # 456 x 86 (the top-left decoration): a light plate with a blue rule and a paper symbol.
    c = Canvas(456, 86)
    c.shade(lambda x, y, _: mix(MIST, SKY, 0.25 + 0.5 * y / 85))
    c.rect(8, 8, 448, 78, WHITE, 0.55, radius=10)
    c.rect(24, 18, 70, 68, WHITE, 1.0, radius=4)
    c.rect(24, 18, 70, 22, BLUE)
    for i in range(4):
        c.rect(31, 30 + i * 9, 63 - (i % 2) * 10, 33 + i * 9, GREY)
    c.rect(88, 30, 420, 36, BLUE, 0.85, radius=3)
    c.rect(88, 48, 340, 52, NAVY, 0.35, radius=2)
    c.rect(88, 58, 280, 62, NAVY, 0.25, radius=2)
    return c


def emblem():
    # 283 x 93 (the lower decoration): three stepped rounded plates and a clock face.
    c = Canvas(283, 93)
    c.shade(lambda x, y, _: mix(MIST, SKY, 0.3 + 0.5 * y / 92))
    for i, col in enumerate((SKY, GREY, (176, 196, 222))):
        c.rect(96 + i * 58, 20 + i * 8, 146 + i * 58, 76, col, 0.9, radius=6)
    c.circle(50, 46, 32, WHITE)
    c.circle(50, 46, 32, BLUE, ring=4)
    c.rect(48, 24, 52, 48, NAVY)
    c.rect(48, 44, 68, 48, NAVY)
    return c


def panel():
    # 504 x 259 (the login panel, also the labels' background): deep blue, lighter at the top.
    c = Canvas(504, 259)
    c.shade(lambda x, y, _: mix((52, 98, 150), NAVY, y / 258))
    c.rect(0, 0, 504, 2, (120, 160, 205))
    c.rect(40, 46, 464, 47, (120, 160, 205), 0.6)
    c.circle(470, 230, 70, WHITE, 0.08, ring=14)
    return c


def notice_background():
    # 995 x 711 (stretched behind the rules): a header band, a white page and a footer strip.
    c = Canvas(995, 711)
    grain = random.Random(711)

    def base(x, y, _):
        t = y / 710
        col = mix((226, 234, 244), (205, 218, 234), t)
        # A faint diagonal texture keeps the JPEG near the size of a photographed background.
        n = (math.sin(x * 0.37 + y * 0.11) + math.sin(x * 0.05 - y * 0.29)) * 1.5
        return tuple(max(0, min(255, int(v + n))) for v in col)

    c.shade(base)
    c.rect(0, 0, 995, 120, NAVY)
    c.shade(lambda x, y, old: mix(old, BLUE, 0.5 * (1 - y / 120)) if y < 120 else old)
    c.rect(0, 120, 995, 124, (120, 160, 205))
    c.rect(76, 152, 924, 614, WHITE, 0.7, radius=10)
    c.rect(82, 158, 918, 612, GREY, 0.9, radius=5)
    c.rect(0, 660, 995, 711, (190, 204, 222))
    c.circle(80, 60, 30, WHITE, 0.9, ring=5)
    c.rect(77, 40, 83, 64, WHITE, 0.9)
    c.rect(77, 58, 97, 64, WHITE, 0.9)
    c.rect(130, 46, 470, 56, WHITE, 0.8, radius=4)
    c.rect(130, 66, 360, 72, WHITE, 0.45, radius=3)
    # A fixed paper grain over everything, as on a scanned form.
    c.shade(lambda x, y, old: tuple(max(0, min(255, v + grain.randint(-3, 3))) for v in old))
    return c


def main():
    login_background().write_bmp(os.path.join(HERE, "login-background.bmp"))
    banner().write_bmp(os.path.join(HERE, "login-banner.bmp"))
    emblem().write_bmp(os.path.join(HERE, "login-emblem.bmp"))
    panel().write_bmp(os.path.join(HERE, "login-panel.bmp"))
    ppm = os.path.join(HERE, "notice-background.ppm")
    notice_background().write_ppm(ppm)
    quality = sys.argv[1] if len(sys.argv) > 1 else "95"
    try:
        subprocess.run(["convert", ppm, "-strip", "-sampling-factor", "4:2:0",
                        "-quality", quality, os.path.join(HERE, "notice-background.jpg")],
                       check=True)
    finally:
        os.remove(ppm)


if __name__ == "__main__":
    main()
