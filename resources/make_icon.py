#!/usr/bin/env python3
"""Draws the Camvey icon and writes it as seven PNG files and one .ico.

The icon is a rounded blue tile with a white camera body, a lens ring and a small
green tick: photos that are safe to clear from the phone. Everything is drawn from
signed distances with 4x4 supersampling, so each size is rendered on its own pixel
grid rather than scaled down. Only the standard library is used.

Usage: resources/make_icon.py   (writes resources/icon/*.png and resources/app_icon.ico)
"""
import math
import os
import struct
import zlib

SIZES = (16, 24, 32, 48, 64, 128, 256)
SAMPLES = 4
HERE = os.path.dirname(os.path.abspath(__file__))


def rounded_box(x, y, cx, cy, half_w, half_h, radius):
    """Signed distance to a rounded rectangle (negative inside)."""
    qx = abs(x - cx) - half_w + radius
    qy = abs(y - cy) - half_h + radius
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def segment(x, y, ax, ay, bx, by):
    """Distance to the segment from a to b."""
    px, py, dx, dy = x - ax, y - ay, bx - ax, by - ay
    t = max(0.0, min(1.0, (px * dx + py * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - t * dx, py - t * dy)


def over(base, color, alpha):
    return tuple(b + (c - b) * alpha for b, c in zip(base, color))


def shade(u, v):
    """Colour and coverage at a point of the unit square (u, v in 0..1)."""
    tile = rounded_box(u, v, 0.5, 0.5, 0.47, 0.47, 0.2)
    if tile > 0:
        return (0.0, 0.0, 0.0), 0.0
    top, bottom = (0.20, 0.56, 0.92), (0.07, 0.24, 0.55)
    color = over(top, bottom, v)
    white = (1.0, 1.0, 1.0)
    body = rounded_box(u, v, 0.5, 0.56, 0.32, 0.22, 0.07)
    bump = rounded_box(u, v, 0.4, 0.33, 0.1, 0.06, 0.03)
    if min(body, bump) < 0:
        color = white
    ring = math.hypot(u - 0.5, v - 0.57)
    if ring < 0.15:
        color = (0.10, 0.30, 0.62)
    if ring < 0.1:
        color = over((0.55, 0.80, 1.0), white, max(0.0, 0.6 - (u - 0.45) * 2 - (v - 0.52) * 2))
    badge = math.hypot(u - 0.76, v - 0.76)
    if badge < 0.17:
        color = (0.16, 0.70, 0.36)
        tick = min(segment(u, v, 0.68, 0.77, 0.74, 0.83), segment(u, v, 0.74, 0.83, 0.85, 0.69))
        if tick < 0.03:
            color = white
    return color, 1.0


def render(size):
    rows = []
    for y in range(size):
        row = bytearray([0])  # PNG filter: none
        for x in range(size):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    u = (x + (sx + 0.5) / SAMPLES) / size
                    v = (y + (sy + 0.5) / SAMPLES) / size
                    color, alpha = shade(u, v)
                    r += color[0] * alpha
                    g += color[1] * alpha
                    b += color[2] * alpha
                    a += alpha
            n = SAMPLES * SAMPLES
            if a > 0:
                row += bytes([round(255 * r / a), round(255 * g / a), round(255 * b / a),
                              round(255 * a / n)])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


def ico(images):
    """An icon file whose entries are PNG images (sizes above 255 are written as 0)."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b"", b""
    for size, image in images:
        side = size if size < 256 else 0
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), offset)
        data += image
        offset += len(image)
    return directory + entries + data


def main():
    os.makedirs(os.path.join(HERE, "icon"), exist_ok=True)
    images = []
    for size in SIZES:
        image = png(size, render(size))
        with open(os.path.join(HERE, "icon", "camvey_%d.png" % size), "wb") as out:
            out.write(image)
        images.append((size, image))
    with open(os.path.join(HERE, "app_icon.ico"), "wb") as out:
        out.write(ico(images))


if __name__ == "__main__":
    main()
