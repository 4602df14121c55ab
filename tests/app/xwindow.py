"""Acts on an X window as a person would: closes it as a window manager's close button does
(WM_DELETE_WINDOW), or saves a screenshot of it as PNG.

Usage: xwindow.py close WINDOW-ID
       xwindow.py shot WINDOW-ID FILE.png
"""
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
    dpy.flush()


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


def main():
    command, window_id = sys.argv[1], int(sys.argv[2], 0)
    dpy = display.Display()
    window = dpy.create_resource_object("window", window_id)
    if command == "close":
        close(dpy, window)
    elif command == "shot":
        shot(window, sys.argv[3])
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main()
