#!/usr/bin/env python3
"""Drops files on a window the way a file manager does, through the XDND protocol, with
the standard library and libX11 only (xdotool cannot drag between programs).

  xdnd_drop.py WINDOW ROOT_X ROOT_Y PATH...

The paths travel as a text/uri-list of file:// URLs. Prints "accepted" or "refused" (the
target's answer to the position) and "finished" once the target says the drop is done.
Exit status: 0 when the target accepted the drop and finished it, 1 when it refused it,
2 on a time-out or an X failure.
"""
import ctypes
import os
import sys
import time
import urllib.parse

ClientMessage = 33
SelectionRequest = 30
SelectionNotify = 31
PropModeReplace = 0
XdndVersion = 5
Timeout = 10.0  # seconds for each answer of the target


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class XSelectionRequestEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("owner", ctypes.c_ulong), ("requestor", ctypes.c_ulong),
                ("selection", ctypes.c_ulong), ("target", ctypes.c_ulong),
                ("property", ctypes.c_ulong), ("time", ctypes.c_ulong)]


class XSelectionEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("requestor", ctypes.c_ulong), ("selection", ctypes.c_ulong),
                ("target", ctypes.c_ulong), ("property", ctypes.c_ulong),
                ("time", ctypes.c_ulong)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xclient", XClientMessageEvent),
                ("xselectionrequest", XSelectionRequestEvent),
                ("xselection", XSelectionEvent), ("pad", ctypes.c_long * 24)]


def load_x11():
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XCreateSimpleWindow.restype = ctypes.c_ulong
    x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                        ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                                        ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                       ctypes.c_ulong]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                    ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                    ctypes.c_char_p, ctypes.c_int]
    x11.XPending.argtypes = [ctypes.c_void_p]
    x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return x11


def main(argv):
    if len(argv) < 5:
        raise SystemExit(__doc__)
    target = int(argv[1], 0)
    root_x, root_y = int(argv[2]), int(argv[3])
    uris = "".join("file://" + urllib.parse.quote(os.path.abspath(p)) + "\r\n"
                   for p in argv[4:]).encode()

    x11 = load_x11()
    display = x11.XOpenDisplay(None)
    if not display:
        print("cannot open the display")
        return 2

    def atom(name):
        return x11.XInternAtom(display, name.encode(), 0)

    xdnd = {name: atom(name) for name in (
        "XdndEnter", "XdndPosition", "XdndStatus", "XdndLeave", "XdndDrop", "XdndFinished",
        "XdndSelection", "XdndActionCopy", "text/uri-list")}
    source = x11.XCreateSimpleWindow(display, x11.XDefaultRootWindow(display),
                                     -10, -10, 1, 1, 0, 0, 0)
    x11.XSetSelectionOwner(display, xdnd["XdndSelection"], source, 0)

    def send(kind, l1=0, l2=0, l3=0, l4=0):
        event = XEvent()
        event.xclient.type = ClientMessage
        event.xclient.window = target
        event.xclient.message_type = xdnd[kind]
        event.xclient.format = 32
        event.xclient.data[0] = source
        event.xclient.data[1] = l1
        event.xclient.data[2] = l2
        event.xclient.data[3] = l3
        event.xclient.data[4] = l4
        x11.XSendEvent(display, target, 0, 0, ctypes.byref(event))
        x11.XFlush(display)

    def answer_selection(request):
        """Hands the uri-list to the target that asks for it."""
        reply = XEvent()
        reply.xselection.type = SelectionNotify
        reply.xselection.requestor = request.requestor
        reply.xselection.selection = request.selection
        reply.xselection.target = request.target
        reply.xselection.time = request.time
        reply.xselection.property = 0  # None: refused, unless the type is ours
        if request.target == xdnd["text/uri-list"] and request.property:
            x11.XChangeProperty(display, request.requestor, request.property, request.target,
                                8, PropModeReplace, uris, len(uris))
            reply.xselection.property = request.property
        x11.XSendEvent(display, request.requestor, 0, 0, ctypes.byref(reply))
        x11.XFlush(display)

    def wait_for(kind):
        """The data of the target's client message `kind`, answering selection requests
        meanwhile; None on a time-out."""
        deadline = time.monotonic() + Timeout
        event = XEvent()
        while time.monotonic() < deadline:
            while x11.XPending(display):
                x11.XNextEvent(display, ctypes.byref(event))
                if event.type == SelectionRequest:
                    answer_selection(event.xselectionrequest)
                elif event.type == ClientMessage and event.xclient.message_type == xdnd[kind]:
                    return list(event.xclient.data)
            time.sleep(0.01)
        return None

    status = 2
    send("XdndEnter", XdndVersion << 24, xdnd["text/uri-list"])
    send("XdndPosition", 0, (root_x << 16) | (root_y & 0xFFFF), 0, xdnd["XdndActionCopy"])
    answer = wait_for("XdndStatus")
    if answer is None:
        print("no answer to the position")
    elif not answer[1] & 1:
        print("refused")
        send("XdndLeave")
        status = 1
    else:
        print("accepted")
        send("XdndDrop", 0, 0)
        if wait_for("XdndFinished") is None:
            print("no answer to the drop")
        else:
            print("finished")
            status = 0
    x11.XDestroyWindow(display, source)
    x11.XCloseDisplay(display)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
