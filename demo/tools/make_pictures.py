#!/usr/bin/env python3
"""Draws the background pictures of the demo disks (demo/disk, Quentor QX-20,
and demo/disk950, Halvorin HV-5T): DISK256.BMP (8 bits per pixel, 256
colours) and DISK16.BMP (4 bits per pixel, the 16 VGA colours) of each.

Run from anywhere: python3 demo/tools/make_pictures.py
"""
import os
import struct

W, H = 560, 400

# A 5x7 pixel font for the few letters the pictures need.
GLYPHS = {
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    "-": ["00000", "00000", "00000", "11111", "00000", "00000", "00000"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    " ": ["00000"] * 7,
}


def draw_text(canvas, text, x, y, scale, colour):
    for ch in text:
        rows = GLYPHS[ch]
        for ry, row in enumerate(rows):
            for rx, bit in enumerate(row):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            px, py = x + rx * scale + dx, y + ry * scale + dy
                            if 0 <= px < W and 0 <= py < H:
                                canvas[py][px] = colour
        x += 6 * scale


def rect(canvas, x0, y0, x1, y1, colour):
    for y in range(max(0, y0), min(H, y1)):
        row = canvas[y]
        for x in range(max(0, x0), min(W, x1)):
            row[x] = colour


def picture(shade, named, disk):
    """Returns rows of colour names/indices through the two callbacks:
    shade(t) gives the background for a height fraction, named(name) a fixed colour;
    disk names the maker, the model and where the maker's name fits."""
    canvas = [[shade(y / (H - 1)) for x in range(W)] for y in range(H)]
    trace = named("trace")
    # Circuit traces across the left half.
    for i, y in enumerate(range(60, 360, 24)):
        length = 120 + (i * 37) % 140
        rect(canvas, 0, y, length, y + 2, trace)
        rect(canvas, length, y, length + 2, y + 18, trace)
        rect(canvas, length - 4, y + 16, length + 6, y + 22, named("pad"))
    # The chip: a body with pins on four sides.
    cx, cy, size = 150, 230, 110
    x0, y0 = cx - size // 2, cy - size // 2
    for k in range(8):
        off = x0 + 8 + k * 13
        rect(canvas, off, y0 - 10, off + 6, y0, named("pin"))
        rect(canvas, off, y0 + size, off + 6, y0 + size + 10, named("pin"))
        rect(canvas, x0 - 10, y0 + 8 + k * 13, x0, y0 + 14 + k * 13, named("pin"))
        rect(canvas, x0 + size, y0 + 8 + k * 13, x0 + size + 10, y0 + 14 + k * 13, named("pin"))
    rect(canvas, x0, y0, x0 + size, y0 + size, named("chip"))
    rect(canvas, x0 + 4, y0 + 4, x0 + size - 4, y0 + 6, named("chipedge"))
    draw_text(canvas, disk["model"], x0 + 12, cy - 10, 3, named("label"))
    # Maker name and disk title.
    scale = disk["scale"]
    draw_text(canvas, disk["maker"], 24, 18, scale, named("shadow"))
    draw_text(canvas, disk["maker"], 20, 14, scale, named("title"))
    draw_text(canvas, "DRIVER DISK", 300, 80, 3, named("label"))
    # The menu panel behind the items on the right.
    rect(canvas, 296, 150, 540, 152, named("label"))
    return canvas


def write_bmp(path, canvas, palette, bits):
    row_bytes = ((W * bits + 31) // 32) * 4
    pixels = bytearray()
    for y in range(H - 1, -1, -1):
        row = canvas[y]
        line = bytearray()
        if bits == 8:
            line.extend(row)
        else:
            for x in range(0, W, 2):
                line.append((row[x] << 4) | row[x + 1])
        line.extend(b"\0" * (row_bytes - len(line)))
        pixels.extend(line)
    colours = bytearray()
    for r, g, b in palette:
        colours.extend((b, g, r, 0))
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, bits, 0, len(pixels), 2835, 2835,
                       len(palette), 0)
    with open(path, "wb") as out:
        out.write(header + info + colours + pixels)


# Quentor's disk: deep blue to teal, a golden name. Halvorin's: deep red to
# plum, a name in amber, set smaller for its eight letters.
QUENTOR = {"folder": "disk", "maker": "QUENTOR", "model": "QX-20", "scale": 7,
           "top": (8, 20, 70), "bottom": (18, 110, 130), "title": (255, 206, 60),
           "vga": (4, 6), "vga_title": 11}
HALVORIN = {"folder": "disk950", "maker": "HALVORIN", "model": "HV-5T", "scale": 6,
            "top": (70, 12, 16), "bottom": (96, 40, 110), "title": (255, 176, 64),
            "vga": (1, 5), "vga_title": 14}


def make_256(path, disk):
    palette = [(0, 0, 0)] * 256
    # 0..199: the background gradient from the top colour to the bottom one.
    (r0, g0, b0), (r1, g1, b1) = disk["top"], disk["bottom"]
    for i in range(200):
        t = i / 199
        palette[i] = (int(r0 + (r1 - r0) * t), int(g0 + (g1 - g0) * t), int(b0 + (b1 - b0) * t))
    fixed = {"trace": (40, 170, 90), "pad": (210, 180, 60), "pin": (190, 190, 200),
             "chip": (28, 28, 36), "chipedge": (80, 80, 96), "label": (235, 235, 240),
             "title": disk["title"], "shadow": (10, 10, 30)}
    index = {}
    for k, (name, colour) in enumerate(fixed.items()):
        palette[200 + k] = colour
        index[name] = 200 + k
    canvas = picture(lambda t: min(199, int(t * 199)), lambda name: index[name], disk)
    write_bmp(path, canvas, palette, 8)


def make_16(path, disk):
    vga = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    names = {"trace": 2, "pad": 3, "pin": 7, "chip": 0, "chipedge": 8, "label": 15,
             "title": disk["vga_title"], "shadow": 0}
    upper, lower = disk["vga"]
    canvas = picture(lambda t: upper if t < 0.55 else lower, lambda name: names[name], disk)
    write_bmp(path, canvas, vga, 4)


if __name__ == "__main__":
    demo = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    for disk in (QUENTOR, HALVORIN):
        folder = os.path.join(demo, disk["folder"])
        make_256(os.path.join(folder, "DISK256.BMP"), disk)
        make_16(os.path.join(folder, "DISK16.BMP"), disk)
