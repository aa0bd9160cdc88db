#!/usr/bin/env python3
"""Runs scripts/screenshots into a temporary folder and checks each picture: a PNG of the screen's size that
shows more than a blank or single-colour screen. Keeps the README's pictures true to what the code draws."""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

EXPECTED = ["lobby-browser.png", "host-lan.png", "private-match.png", "presets.png"]
WIDTH, HEIGHT = 1280, 720


def pixels(path):
    """The rows of an 8-bit RGB or RGBA PNG, unfiltered."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour = header[:4]
    if depth != 8 or colour not in (2, 6):
        raise ValueError(f"unexpected PNG format (depth {depth}, colour type {colour})")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, row = line[0], bytearray(line[1:])
        for i in range(stride):
            left = row[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                row[i] = (row[i] + left) & 0xFF
            elif kind == 2:
                row[i] = (row[i] + up) & 0xFF
            elif kind == 3:
                row[i] = (row[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                row[i] = (row[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        rows.append(bytes(row))
        previous = row
    return width, height, channels, rows


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    with tempfile.TemporaryDirectory() as out:
        run = subprocess.run([os.path.join(root, "scripts", "screenshots"), out], capture_output=True, text=True,
                             timeout=170)
        if run.returncode != 0:
            print(run.stdout, run.stderr, sep="\n")
            print(f"screenshots exited with {run.returncode}")
            return 1
        failed = False
        for name in EXPECTED:
            path = os.path.join(out, name)
            if not os.path.exists(path):
                print(f"{name}: not written")
                failed = True
                continue
            width, height, channels, rows = pixels(path)
            colours = set()
            for row in rows[::2]:
                for x in range(0, len(row), channels):
                    colours.add(row[x:x + 3])
            # A window's frame, text and widgets give dozens of colours; an empty screen gives one or two.
            ok = (width, height) == (WIDTH, HEIGHT) and len(colours) >= 8
            print(f"{name}: {width}x{height}, {len(colours)} colours{'' if ok else ' -- blank or wrong size'}")
            failed |= not ok
        return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
