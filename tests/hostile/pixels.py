#!/usr/bin/env python3
"""Pixel counts for the hostile-input tests, on xwd screenshots (standard library only).

  pixels.py count SHOT.xwd X Y W H R G B     pixels of exactly this colour in the region
  pixels.py bar SHOT.xwd X Y W H             finds the loading bar in the region: prints
                                             "LEFT TOP WIDTH HEIGHT FILLED INNER" (FILLED of
                                             INNER columns inside the outline hold the fill
                                             colour), or "none"

The loading bar is a one-pixel outline in the frame colour 120,120,120 on a white canvas,
and inside it, two pixels in, a block of the fill colour 70,130,210 growing from the left.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
import x_helper  # noqa: E402  (the end-to-end test's xwd reader)

FRAME = bytes((120, 120, 120))
FILL = bytes((70, 130, 210))
WHITE = bytes((255, 255, 255))


def count(rows, colour):
    return sum(1 for p in x_helper.pixels_of(rows) if p == colour)


def longest_run(row, colour, w):
    """(start, length) of the longest run of `colour` in a row of w RGB pixels."""
    best = (0, 0)
    start = None
    for x in range(w + 1):
        inside = x < w and row[3 * x:3 * x + 3] == colour
        if inside and start is None:
            start = x
        elif not inside and start is not None:
            if x - start > best[1]:
                best = (start, x - start)
            start = None
    return best


def find_bar(rows, w):
    """The bar's geometry and fill, or None when the region holds no well-formed bar."""
    tops = [(y, longest_run(r, FRAME, w)) for y, r in enumerate(rows)]
    wide = [(y, run) for y, run in tops if run[1] >= w * 3 // 10]
    if len(wide) < 2:
        return None
    top, (left, width) = wide[0]
    bottom = next((y for y, run in wide[1:] if run == (left, width)), None)
    if bottom is None or not 6 <= bottom - top <= 60:
        return None
    right = left + width - 1
    # Both sides of the outline, from the top row to the bottom row.
    for y in range(top, bottom + 1):
        r = rows[y]
        if r[3 * left:3 * left + 3] != FRAME or r[3 * right:3 * right + 3] != FRAME:
            return None
    # Inside, two pixels in: a left-aligned block of fill on white, the same in every row.
    inner_left, inner_right = left + 2, right - 2
    inner = inner_right - inner_left + 1
    filled_rows = set()
    for y in range(top + 2, bottom - 1):
        r = rows[y]
        pixels = [r[3 * x:3 * x + 3] for x in range(inner_left, inner_right + 1)]
        filled = 0
        while filled < inner and pixels[filled] == FILL:
            filled += 1
        if any(p != WHITE for p in pixels[filled:]):
            return None
        filled_rows.add(filled)
    if len(filled_rows) != 1:
        return None
    return left, top, width, bottom - top + 1, filled_rows.pop(), inner


def main(argv):
    if len(argv) < 7:
        raise SystemExit(__doc__)
    command, path = argv[1], argv[2]
    x, y, w, h = map(int, argv[3:7])
    _, rows = x_helper.region(path, x, y, w, h)
    if command == "count" and len(argv) == 10:
        print(count(rows, bytes(int(v) for v in argv[7:10])))
    elif command == "bar":
        bar = find_bar(rows, w)
        if bar is None:
            print("none")
        else:
            left, top, width, height, filled, inner = bar
            print(left + x, top + y, width, height, filled, inner)
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
