#!/usr/bin/env python3
"""The X side of scripts/window-walk. Standard library only.

  window_grab.py match FRAMEBUFFER X Y W H ZOOM EXPECTED.png OUT.png
                [--seconds S] [--skip-rows FIRST-LAST]
      Grabs the window at X,Y (W x H pixels) from an Xvfb framebuffer file
      (Xvfb -fbdir: the screen as an XWD image), takes it back to the phone's
      pixels by the zoom (every ZOOM x ZOOM block must be one colour) and
      waits until it equals EXPECTED.png pixel for pixel. Writes the last
      grab to OUT.png; exits 0 when it matched, 1 when it did not in time.
      Rows FIRST to LAST (phone pixels) may be left out of the comparison:
      a marquee moves with the clock, not with the walk.
  window_grab.py close WINDOW-ID
      Asks the window to close as its close button does: a WM_DELETE_WINDOW
      message of the WM_PROTOCOLS kind, which is what a window manager sends.
"""
import ctypes
import ctypes.util
import os
import struct
import sys
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pngdraw import write_png  # noqa: E402


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(path):
    """(width, height, RGB bytes) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(path + ": not a PNG")
    pos, idat, header = 8, b"", None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError(path + ": only 8-bit RGB(A) PNGs without interlace")
    bpp = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * bpp
    prev = bytearray(stride)
    out = bytearray()
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = row[i - bpp] if i >= bpp else 0
            c = prev[i - bpp] if i >= bpp else 0
            b = prev[i]
            if kind == 1:
                row[i] = (row[i] + a) & 0xFF
            elif kind == 2:
                row[i] = (row[i] + b) & 0xFF
            elif kind == 3:
                row[i] = (row[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                row[i] = (row[i] + paeth(a, b, c)) & 0xFF
        prev = row
        if bpp == 4:
            rgb = bytearray(width * 3)
            for ch in range(3):
                rgb[ch::3] = row[ch::4]
            row = rgb
        out += row
    return width, height, bytes(out)


def grab(framebuffer, x, y, w, h, zoom):
    """(RGB bytes at the phone's size, whether every block was one colour)."""
    with open(framebuffer, "rb") as f:
        data = f.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, ncolors = fields[0], fields[19]
    byte_order, bits, stride = fields[7], fields[11], fields[12]
    masks = fields[14:17]
    if bits != 32:
        raise ValueError("only 32-bit framebuffers")
    # The byte of each colour within a pixel, from its mask and byte order.
    shifts = [m.bit_length() - 8 for m in masks]
    lanes = [s // 8 if byte_order == 0 else 3 - s // 8 for s in shifts]
    base = header_size + ncolors * 12
    pw, ph = w // zoom, h // zoom
    out = bytearray(pw * ph * 3)
    whole = True
    for sy in range(ph):
        top = base + (y + sy * zoom) * stride + x * 4
        row = data[top:top + pw * zoom * 4]
        for dy in range(1, zoom):
            start = top + dy * stride
            whole = whole and data[start:start + pw * zoom * 4] == row
        step = 4 * zoom
        for ch, lane in enumerate(lanes):
            first = row[lane::step]
            for dx in range(1, zoom):
                whole = whole and row[lane + 4 * dx::step] == first
            out[sy * pw * 3 + ch:(sy + 1) * pw * 3:3] = first
    return bytes(out), whole


def describe_difference(a, b, width):
    diffs = [i // 3 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3]]
    if not diffs:
        return "same pixels"
    first = diffs[0]
    return "%d pixels differ, the first at %d,%d" % (len(diffs), first % width, first // width)


def with_rows_of(pixels, other, width, rows):
    """`pixels` with the rows FIRST to LAST taken from `other`."""
    if not rows:
        return pixels
    start, end = rows[0] * width * 3, (rows[1] + 1) * width * 3
    return pixels[:start] + other[start:end] + pixels[end:]


def match(framebuffer, x, y, w, h, zoom, expected, out, seconds, skip):
    ew, eh, want = read_png(expected)
    if (w // zoom, h // zoom) != (ew, eh) or w % zoom or h % zoom:
        print("window %dx%d at zoom %d is not the %dx%d screen" % (w, h, zoom, ew, eh))
        return 1
    deadline = time.monotonic() + seconds
    while True:
        got, whole = grab(framebuffer, x, y, w, h, zoom)
        if with_rows_of(got, want, ew, skip) == want and whole:
            break
        if time.monotonic() >= deadline:
            break
        time.sleep(0.05)
    write_png(out, ew, eh, [got[r * ew * 3:(r + 1) * ew * 3] for r in range(eh)], False)
    if not whole:
        print("the window is not a whole zoom %d of its screen" % zoom)
        return 1
    if with_rows_of(got, want, ew, skip) != want:
        print(describe_difference(with_rows_of(got, want, ew, skip), want, ew))
        return 1
    return 0


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]


def close(window):
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        print("cannot open the display")
        return 1
    event = XEvent()
    event.client.type = 33  # ClientMessage
    event.client.window = window
    event.client.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.client.format = 32
    event.client.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.client.data[1] = 0  # CurrentTime
    sent = x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x11.XFlush(display)
    x11.XCloseDisplay(display)
    return 0 if sent else 1


def main(args):
    if len(args) >= 9 and args[0] == "match":
        x, y, w, h, zoom = (int(v) for v in args[2:7])
        seconds, skip = 5.0, None
        options = args[9:]
        while len(options) >= 2:
            if options[0] == "--seconds":
                seconds = float(options[1])
            elif options[0] == "--skip-rows":
                skip = tuple(int(v) for v in options[1].split("-"))
            else:
                break
            options = options[2:]
        if not options:
            return match(args[1], x, y, w, h, zoom, args[7], args[8], seconds, skip)
    if len(args) == 2 and args[0] == "close":
        return close(int(args[1], 0))
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
