#!/usr/bin/env python3
"""Finds a top-level window of an X display by a part of its title, and saves what it
shows as a PNG or asks it to close (as a window manager's close button does). Uses only
the standard library and libX11, so that run.sh and the tests need no extra tools.

    x11window.py find  --display :N --title TEXT [--wait SECONDS]
    x11window.py grab  --display :N --title TEXT --out FILE.png [--wait SECONDS]
    x11window.py close --display :N --title TEXT

Exit status 0 when the window was found (and grabbed or asked to close), 1 when not,
2 when the display cannot be opened."""
import argparse
import ctypes
import ctypes.util
import struct
import sys
import time
import zlib

X = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
Window = ctypes.c_ulong
Atom = ctypes.c_ulong
X.XOpenDisplay.restype = ctypes.c_void_p
X.XOpenDisplay.argtypes = [ctypes.c_char_p]
X.XDefaultRootWindow.restype = Window
X.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
X.XQueryTree.argtypes = [ctypes.c_void_p, Window, ctypes.POINTER(Window), ctypes.POINTER(Window),
                         ctypes.POINTER(ctypes.POINTER(Window)), ctypes.POINTER(ctypes.c_uint)]
X.XInternAtom.restype = Atom
X.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
X.XGetWindowProperty.argtypes = [ctypes.c_void_p, Window, Atom, ctypes.c_long, ctypes.c_long, ctypes.c_int,
                                 Atom, ctypes.POINTER(Atom), ctypes.POINTER(ctypes.c_int),
                                 ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.c_void_p)]
X.XFree.argtypes = [ctypes.c_void_p]
X.XFlush.argtypes = [ctypes.c_void_p]
X.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
X.XCloseDisplay.argtypes = [ctypes.c_void_p]


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", Window), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", Window), ("message_type", Atom),
                ("format", ctypes.c_int), ("l", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


X.XGetWindowAttributes.argtypes = [ctypes.c_void_p, Window, ctypes.POINTER(XWindowAttributes)]
X.XGetImage.restype = ctypes.POINTER(XImage)
X.XGetImage.argtypes = [ctypes.c_void_p, Window, ctypes.c_int, ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                        ctypes.c_ulong, ctypes.c_int]
X.XSendEvent.argtypes = [ctypes.c_void_p, Window, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]

IS_VIEWABLE = 2
Z_PIXMAP = 2
CLIENT_MESSAGE = 33


def window_title(dpy, w):
    for prop, kind in ((b"_NET_WM_NAME", b"UTF8_STRING"), (b"WM_NAME", b"STRING")):
        atom = X.XInternAtom(dpy, prop, 0)
        req = X.XInternAtom(dpy, kind, 0)
        actual = Atom()
        fmt = ctypes.c_int()
        count = ctypes.c_ulong()
        after = ctypes.c_ulong()
        data = ctypes.c_void_p()
        if X.XGetWindowProperty(dpy, w, atom, 0, 4096, 0, req, ctypes.byref(actual), ctypes.byref(fmt),
                                ctypes.byref(count), ctypes.byref(after), ctypes.byref(data)) == 0 and data.value:
            text = ctypes.string_at(data.value, count.value).decode("utf-8", "replace")
            X.XFree(data)
            if text:
                return text
    return ""


def windows(dpy, w):
    root = Window()
    parent = Window()
    children = ctypes.POINTER(Window)()
    n = ctypes.c_uint()
    if not X.XQueryTree(dpy, w, ctypes.byref(root), ctypes.byref(parent), ctypes.byref(children), ctypes.byref(n)):
        return
    found = [children[i] for i in range(n.value)]
    if children:
        X.XFree(children)
    for c in found:
        yield c
        yield from windows(dpy, c)


def find(dpy, title):
    for w in windows(dpy, X.XDefaultRootWindow(dpy)):
        attrs = XWindowAttributes()
        if not X.XGetWindowAttributes(dpy, w, ctypes.byref(attrs)) or attrs.map_state != IS_VIEWABLE:
            continue
        if title in window_title(dpy, w):
            return w, attrs
    return None, None


def write_png(path, width, height, rows):
    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + r for r in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def grab(dpy, w, attrs, path):
    image = X.XGetImage(dpy, w, 0, 0, attrs.width, attrs.height, 0xFFFFFFFF, Z_PIXMAP)
    if not image:
        return False
    img = image.contents
    if img.bits_per_pixel != 32:
        return False
    rows = []
    for y in range(img.height):
        line = ctypes.string_at(ctypes.addressof(img.data.contents) + y * img.bytes_per_line, img.width * 4)
        # 32-bit pixels, blue first in memory (little-endian TrueColor).
        rgb = bytearray(img.width * 3)
        rgb[0::3] = line[2::4]
        rgb[1::3] = line[1::4]
        rgb[2::3] = line[0::4]
        rows.append(bytes(rgb))
    write_png(path, img.width, img.height, rows)
    X.XFree(img.data)
    X.XFree(image)
    return True


def close(dpy, w):
    event = XClientMessageEvent()
    event.type = CLIENT_MESSAGE
    event.window = w
    event.message_type = X.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    event.format = 32
    event.l[0] = X.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    event.l[1] = 0
    X.XSendEvent(dpy, w, 0, 0, ctypes.byref(event))
    X.XFlush(dpy)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("action", choices=["find", "grab", "close"])
    parser.add_argument("--display", required=True)
    parser.add_argument("--title", required=True)
    parser.add_argument("--out")
    parser.add_argument("--wait", type=float, default=0)
    args = parser.parse_args()
    dpy = X.XOpenDisplay(args.display.encode())
    if not dpy:
        print("cannot open display " + args.display, file=sys.stderr)
        return 2
    deadline = time.monotonic() + args.wait
    while True:
        w, attrs = find(dpy, args.title)
        if w or time.monotonic() >= deadline:
            break
        time.sleep(0.2)
    if not w:
        X.XCloseDisplay(dpy)
        return 1
    print(window_title(dpy, w))
    ok = True
    if args.action == "grab":
        ok = grab(dpy, w, attrs, args.out)
    elif args.action == "close":
        close(dpy, w)
    X.XCloseDisplay(dpy)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
