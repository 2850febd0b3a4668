#!/usr/bin/env python3
"""Opens the HTML of a layout file in headless Chromium, as a person would look at it.

usage: layout_in_chromium.py HOST_PROGRAM LAYOUT_FILE WIDTH HEIGHT NAME...

Passes when Chromium renders the document, the screenshot is not blank (it holds dark text on
the light page, not one flat colour), and the DOM Chromium built holds a box for every NAME.
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

CHROMIUM = os.environ.get("CHROMIUM", "/usr/bin/chromium")


def chromium(profile, *args):
    command = [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
               "--disable-component-update", "--disable-sync", "--no-first-run", "--user-data-dir=" + profile, *args]
    return subprocess.run(command, capture_output=True, text=True, timeout=120)


def pixels(png_path):
    """The RGB pixels of an 8-bit RGB or RGBA PNG, row by row."""
    with open(png_path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour = header[0], header[1], header[2], header[3]
    assert depth == 8 and colour in (2, 6), "unexpected PNG format"
    step = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * step
    previous = bytearray(stride)
    rows = []
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, row = line[0], bytearray(line[1:])
        for i in range(stride):
            left = row[i - step] if i >= step else 0
            up = previous[i]
            corner = previous[i - step] if i >= step else 0
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
        rows.append([tuple(row[x * step:x * step + 3]) for x in range(width)])
        previous = row
    return rows


def main():
    host, layout, width, height, names = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        page = os.path.join(work, "layout.html")
        built = subprocess.run([host, "layout", layout, "--html"], capture_output=True, text=True)
        if built.returncode != 0:
            print("layout command failed:", built.stderr)
            return 1
        with open(page, "w") as f:
            f.write(built.stdout)

        shot = os.path.join(work, "layout.png")
        run = chromium(os.path.join(work, "profile-shot"), "--screenshot=" + shot, "--window-size=%s,%s" % (width, height), page)
        if run.returncode != 0 or not os.path.exists(shot):
            print("chromium could not take the screenshot:", run.stderr)
            return 1
        rows = pixels(shot)
        colours = {pixel for row in rows for pixel in row}
        dark = sum(1 for row in rows for (r, g, b) in row if r + g + b < 200)
        if len(colours) < 8:
            failures.append("the screenshot is blank: %d colours" % len(colours))
        if dark < 50:
            failures.append("the screenshot shows no text: %d dark pixels" % dark)

        run = chromium(os.path.join(work, "profile-dom"), "--dump-dom", page)
        if run.returncode != 0:
            failures.append("chromium could not build the DOM: " + run.stderr)
        for name in names:
            if 'data-name="%s"' % name not in run.stdout:
                failures.append("the DOM has no control " + name)

    for failure in failures:
        print(failure)
    print("the layout renders in Chromium" if not failures else "%d problem(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
