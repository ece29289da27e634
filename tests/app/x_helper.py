#!/usr/bin/env python3
"""Screenshot and window helpers for the end-to-end test, standard library only.

  x_helper.py png SHOT.xwd OUT.png X Y W H     crop an xwd screenshot and save it as PNG
  x_helper.py ink SHOT.xwd X Y W H             pixels that differ from the region's commonest colour
  x_helper.py dark SHOT.xwd X Y W H            pixels darker than mid grey
  x_helper.py luma SHOT.xwd X Y W H            mean brightness 0..255
  x_helper.py colour SHOT.xwd R G B T X Y W H  pixels within T of that colour in every channel
  x_helper.py diff A.xwd B.xwd X Y W H [X2 Y2] pixels that differ between two screenshots
                                               (B's region at X2 Y2 when given)
  x_helper.py close WINDOW_ID                  send WM_DELETE_WINDOW, as a window manager's close box does
"""
import collections
import ctypes
import struct
import sys
import zlib


def read_xwd(path):
    """Width, height and a function returning one row as RGB bytes."""
    with open(path, "rb") as f:
        data = f.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, _version, _format, _depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14], fields[15], fields[16]
    colours = fields[19]
    # Packed 24-bit or padded 32-bit pixels; lines may be padded beyond width * step.
    step = bits_per_pixel // 8
    if bits_per_pixel not in (24, 32) or bytes_per_line < width * step or \
            (red_mask, green_mask, blue_mask) != (0xFF0000, 0xFF00, 0xFF):
        raise SystemExit("x_helper: only 24-bit true-colour screenshots are supported")
    start = header_size + colours * 12
    pixels = data[start:start + height * bytes_per_line]
    # Little-endian pixels are B G R (X) in memory, big-endian (X) R G B.
    offsets = (2, 1, 0) if byte_order == 0 else tuple(step - 3 + i for i in range(3))

    def row(y, x0, w):
        line = pixels[y * bytes_per_line + x0 * step:y * bytes_per_line + (x0 + w) * step]
        out = bytearray(w * 3)
        for channel, offset in enumerate(offsets):
            out[channel::3] = line[offset::step]
        return bytes(out)

    return width, height, row


def region(path, x, y, w, h):
    width, height, row = read_xwd(path)
    x = max(0, min(x, width))
    y = max(0, min(y, height))
    w = max(0, min(w, width - x))
    h = max(0, min(h, height - y))
    return w, [row(yy, x, w) for yy in range(y, y + h)]


def pixels_of(rows):
    for r in rows:
        for i in range(0, len(r), 3):
            yield r[i:i + 3]


def write_png(path, w, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\x00" + r for r in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", w, len(rows), 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def luminance(p):
    return (p[0] * 299 + p[1] * 587 + p[2] * 114) // 1000


def close_window(window):
    """Sends the WM_DELETE_WINDOW client message, which is what a close box does."""
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                    ("pad", ctypes.c_long * 12)]  # an XEvent is 24 longs

    display = x11.XOpenDisplay(None)
    if not display:
        raise SystemExit("x_helper: cannot open the display")
    event = ClientMessage()
    event.type = 33  # ClientMessage
    event.window = window
    event.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.format = 32
    event.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.data[1] = 0  # CurrentTime
    status = x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x11.XFlush(display)
    x11.XCloseDisplay(display)
    if not status:
        raise SystemExit("x_helper: the close request could not be sent")


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "close":
        close_window(int(argv[2], 0))
        return
    if command == "png":
        x, y, w, h = map(int, argv[4:8])
        width, rows = region(argv[2], x, y, w, h)
        write_png(argv[3], width, rows)
        return
    if command == "diff":
        x, y, w, h = map(int, argv[4:8])
        # The second region may stand elsewhere (a window that was resized or moved).
        x2, y2 = map(int, argv[8:10]) if len(argv) > 9 else (x, y)
        _, a = region(argv[2], x, y, w, h)
        _, b = region(argv[3], x2, y2, w, h)
        print(sum(1 for p, q in zip(pixels_of(a), pixels_of(b)) if p != q))
        return
    if command == "colour":
        want = tuple(map(int, argv[3:6]))
        near = int(argv[6])
        x, y, w, h = map(int, argv[7:11])
        _, rows = region(argv[2], x, y, w, h)
        print(sum(1 for p in pixels_of(rows) if all(abs(a - b) <= near for a, b in zip(p, want))))
        return
    x, y, w, h = map(int, argv[3:7])
    _, rows = region(argv[2], x, y, w, h)
    if command == "ink":
        counts = collections.Counter(pixels_of(rows))
        common = counts.most_common(1)[0][1] if counts else 0
        print(sum(counts.values()) - common)
    elif command == "dark":
        print(sum(1 for p in pixels_of(rows) if luminance(p) < 128))
    elif command == "luma":
        values = [luminance(p) for p in pixels_of(rows)]
        print(sum(values) // max(1, len(values)))
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
