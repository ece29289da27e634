#!/usr/bin/env python3
"""Draws the application icon (a toolpath on a rounded tile) as PNG files at every size
the desktop asks for, using only the standard library."""
import math
import os
import struct
import sys
import zlib

SIZES = (16, 32, 48, 64, 128, 256)
SUPERSAMPLE = 4  # samples per pixel edge, for smooth edges

TILE = (0x1F, 0x3A, 0x5F)    # dark slate blue
PATH = (0xF2, 0xF4, 0xF7)    # near-white cutting path
TRAVEL = (0x7F, 0x9C, 0xC0)  # muted blue travel move
HEAD = (0xFF, 0x8A, 0x1F)    # orange laser head

# The mark, in a unit square (y down): a raster of three cuts joined at alternate ends,
# a dashed-looking travel back to the start and the head at the end of the last cut.
CUTS = [((0.24, 0.30), (0.76, 0.30)), ((0.76, 0.30), (0.76, 0.50)),
        ((0.76, 0.50), (0.24, 0.50)), ((0.24, 0.50), (0.24, 0.70)),
        ((0.24, 0.70), (0.62, 0.70))]
TRAVELS = [((0.62, 0.70), (0.24, 0.30))]
HEAD_CENTRE = (0.70, 0.70)


def segment_distance(px, py, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def inside_tile(px, py, radius=0.18, margin=0.03):
    lo, hi = margin + radius, 1.0 - margin - radius
    cx = min(max(px, lo), hi)
    cy = min(max(py, lo), hi)
    return math.hypot(px - cx, py - cy) <= radius


def sample(px, py, size):
    """Colour and coverage (0 or 1) of one sample point."""
    if not inside_tile(px, py):
        return None
    # Thin lines vanish at 16 px, so strokes get at least about one pixel.
    stroke = max(0.075, 1.3 / size)
    if math.hypot(px - HEAD_CENTRE[0], py - HEAD_CENTRE[1]) <= stroke * 1.25:
        return HEAD
    if any(segment_distance(px, py, a, b) <= stroke / 2 for a, b in CUTS):
        return PATH
    if size >= 48 and any(segment_distance(px, py, a, b) <= stroke / 4 for a, b in TRAVELS):
        return TRAVEL
    return TILE


def render(size):
    rows = []
    n = SUPERSAMPLE
    for y in range(size):
        row = bytearray()
        for x in range(size):
            r = g = b = a = 0
            for sy in range(n):
                for sx in range(n):
                    c = sample((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size, size)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            if a:
                row += bytes((r // a, g // a, b // a, a * 255 // (n * n)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + row for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "resources", "icons")
    os.makedirs(out, exist_ok=True)
    for size in SIZES:
        path = os.path.join(out, "tolvan-gcode-%d.png" % size)
        with open(path, "wb") as f:
            f.write(png(size, render(size)))
        print(path)


if __name__ == "__main__":
    main()
