"""Acts on an X window as a person would: closes it as a window manager's close button does
(WM_DELETE_WINDOW), or saves a screenshot of it as PNG. Also covers the screen with a window of
its own that takes the focus (prints its ID, then stays until killed), and tells which
top-level window is on top and which has the focus.

Usage: xwindow.py close WINDOW-ID
       xwindow.py shot WINDOW-ID FILE.png
       xwindow.py cover
       xwindow.py top
       xwindow.py focus
"""
import signal
import struct
import sys
import zlib

from Xlib import X, display, protocol


def close(dpy, window):
    protocols = dpy.intern_atom("WM_PROTOCOLS")
    delete = dpy.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(
        window=window, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(event, event_mask=X.NoEventMask)
    # A round trip, not a flush: a busy server that sees this client gone before it read the
    # request drops the request with the connection, and the window is never told to close.
    dpy.sync()


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def shot(window, path):
    geometry = window.get_geometry()
    width, height = geometry.width, geometry.height
    # 24-bit visuals deliver 4 bytes a pixel in BGRX order.
    raw = window.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF).data
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        line = raw[y * width * 4:(y + 1) * width * 4]
        for x in range(width):
            b, g, r = line[4 * x], line[4 * x + 1], line[4 * x + 2]
            rows += bytes((r, g, b))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(png_chunk(b"IHDR", header))
        out.write(png_chunk(b"IDAT", zlib.compress(bytes(rows), 9)))
        out.write(png_chunk(b"IEND", b""))


def cover(dpy):
    """Without a window manager the server ignores a focus request whose time stamp is older
    than the last focus change. The cover takes the focus at the moment it came under the
    pointer, which is also the latest time stamp the window beneath it has seen (the pointer
    left it), so that window can take the focus back."""
    screen = dpy.screen()
    window = screen.root.create_window(
        0, 0, screen.width_in_pixels, screen.height_in_pixels, 0, screen.root_depth,
        background_pixel=screen.black_pixel, event_mask=X.EnterWindowMask)
    window.map()
    while True:
        event = dpy.next_event()
        if event.type == X.EnterNotify:
            break
    window.set_input_focus(X.RevertToParent, event.time)
    dpy.sync()
    print(window.id, flush=True)
    signal.pause()


def top(dpy):
    """The highest of the screen's viewable top-level windows (no window manager reparents)."""
    for child in reversed(dpy.screen().root.query_tree().children):
        if child.get_attributes().map_state == X.IsViewable:
            return child.id
    return 0


def main():
    command = sys.argv[1]
    dpy = display.Display()
    if command == "cover":
        cover(dpy)
        return
    if command == "top":
        print(top(dpy))
        return
    if command == "focus":
        focus = dpy.get_input_focus().focus
        print(focus if isinstance(focus, int) else focus.id)
        return
    window = dpy.create_resource_object("window", int(sys.argv[2], 0))
    if command == "close":
        close(dpy, window)
    elif command == "shot":
        shot(window, sys.argv[3])
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main()
