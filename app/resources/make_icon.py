#!/usr/bin/env python3
"""Draws Quillset's two icons and writes them as Windows .ico files.

Each is one image, 32 x 32 pixels, 16 colours (the standard VGA palette):
- quillset.ico, the main icon: a white document with a folded corner and blue
  lines of text, and a green arrow that carries it away (the backup);
- quillset-warning.ico, shown in the notification area after a run in which
  an entry did not succeed: the same document under a large yellow warning
  triangle with a black "!", in place of the arrow (it must read at 16 x 16).
Run it from anywhere:

    python3 app/resources/make_icon.py [output.ico] [--warning] [--preview]

Without an output path it rewrites both icons beside this script.
"""
import os
import struct
import sys

SIZE = 32

# The 16-colour palette of Windows, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREEN, NAVY, SILVER, GREY, GREEN, YELLOW, BLUE, WHITE = 0, 2, 4, 7, 8, 10, 11, 12, 15
CLEAR = None  # transparent


def draw(warning=False):
    """Returns the picture as rows of palette indices (None = transparent), top row first."""
    px = [[CLEAR] * SIZE for _ in range(SIZE)]

    def put(x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            px[y][x] = colour

    # The document: x 3..21, y 1..28, its top-right corner folded over 6 pixels.
    left, top, right, bottom, fold = 3, 1, 21, 28, 6
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x - (right - fold) > y - top:      # cut off by the fold
                continue
            edge = x in (left, right) or y in (top, bottom) or x - (right - fold) == y - top
            put(x, y, BLACK if edge else WHITE)
    # The folded-over flap, grey, under the diagonal.
    for y in range(top, top + fold + 1):
        for x in range(right - fold, right + 1):
            d = x - (right - fold)
            if d <= y - top:
                on_edge = x == right - fold or y == top + fold or d == y - top
                put(x, y, BLACK if on_edge else SILVER)
    # Lines of text.
    for y, end in ((10, 17), (13, 18), (16, 15), (19, 12), (22, 10)):
        for x in range(left + 3, end + 1):
            put(x, y, NAVY)

    if warning:
        draw_warning_mark(put)
        return px

    # The green arrow pointing right, lower right: shaft then head, outlined.
    arrow = set()
    for y in range(19, 25):
        for x in range(12, 23):
            arrow.add((x, y))
    tip_x, mid_y, half = 30, 21.5, 7
    for x in range(22, tip_x + 1):
        reach = half * (tip_x - x) / (tip_x - 22)
        for y in range(SIZE):
            if abs(y - mid_y) <= reach:
                arrow.add((x, y))
    for (x, y) in arrow:
        inner = all((x + dx, y + dy) in arrow for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
        put(x, y, (GREEN if y <= mid_y else DARK_GREEN) if inner else BLACK)
    return px


def draw_warning_mark(put):
    """A yellow triangle, apex up, over the lower right, outlined in black,
    with a black "!" (a bar and a dot) down its middle."""
    apex_x, top, bottom, half = 20.5, 9, 31, 11.5
    inside = set()
    for y in range(top, bottom + 1):
        reach = half * (y - top) / (bottom - top)
        for x in range(32):
            if abs(x - apex_x) <= reach + 0.5:
                inside.add((x, y))
    for (x, y) in inside:
        inner = all((x + dx, y + dy) in inside for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
        put(x, y, YELLOW if inner else BLACK)
    for y in range(15, 25):                      # the bar, 3 pixels wide
        for x in (19, 20, 21):
            put(x, y, BLACK)
    for y in (27, 28):                           # the dot
        for x in (19, 20, 21):
            put(x, y, BLACK)


def ico_bytes(px):
    """A .ico with one 32 x 32, 4-bit image: header, directory entry, DIB, masks."""
    xor_row = SIZE * 4 // 8          # 16 bytes, a multiple of 4
    and_row = ((SIZE + 31) // 32) * 4  # 4 bytes
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up
        row = px[y]
        for x in range(0, SIZE, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            xor.append((hi << 4) | lo)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += bits.to_bytes(and_row, "big")
    assert len(xor) == xor_row * SIZE
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return icondir + entry + image


def preview(px):
    chars = {None: " ", BLACK: "#", WHITE: ".", SILVER: ":", NAVY: "=", GREEN: "+",
             DARK_GREEN: "*", YELLOW: "o"}
    return "\n".join("".join(chars.get(c, "?") for c in row) for row in px)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    args = [a for a in argv if not a.startswith("--")]
    if args:
        icons = [(args[0], "--warning" in argv)]
    else:
        icons = [(os.path.join(here, "quillset.ico"), False),
                 (os.path.join(here, "quillset-warning.ico"), True)]
    for out, warning in icons:
        px = draw(warning)
        with open(out, "wb") as f:
            f.write(ico_bytes(px))
        if "--preview" in argv:
            print(preview(px))


if __name__ == "__main__":
    main(sys.argv[1:])
