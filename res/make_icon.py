#!/usr/bin/env python3
"""Draws the application icon: a teal chip with a white download arrow, 48 x 48, 24-bit with a 1-bit mask."""
import struct
import sys

SIZE = 48


def pixel(x, y):
    """Colour (r, g, b) of a pixel, or None where the icon is transparent."""
    # Pins along the left and right edges of the chip.
    if (x < 6 or x >= SIZE - 6) and 8 <= y < SIZE - 8 and (y - 8) % 6 < 3:
        return (192, 192, 200)
    if not (6 <= x < SIZE - 6 and 4 <= y < SIZE - 4):
        return None
    # Arrow: a shaft, then a head narrowing towards the bottom.
    cx = SIZE // 2
    if 10 <= y < 26 and abs(x - cx) <= 3:
        return (255, 255, 255)
    if 26 <= y < 38 and abs(x - cx) <= 37 - y:
        return (255, 255, 255)
    edge = x in (6, SIZE - 7) or y in (4, SIZE - 5)
    return (0, 70, 70) if edge else (0, 128, 128)


def build():
    colour_rows = []
    mask_rows = []
    for y in reversed(range(SIZE)):  # bottom-up rows
        row = bytearray()
        bits = 0
        mask = bytearray()
        for x in range(SIZE):
            colour = pixel(x, y)
            r, g, b = colour or (0, 0, 0)
            row += bytes((b, g, r))
            bits = (bits << 1) | (1 if colour is None else 0)
            if x % 8 == 7:
                mask.append(bits)
                bits = 0
        colour_rows.append(bytes(row))
        mask_rows.append(bytes(mask) + b"\0\0")  # rows are padded to 32 bits
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    image = header + b"".join(colour_rows) + b"".join(mask_rows)
    assert len(image) == 7336
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 22)
    return directory + image


if __name__ == "__main__":
    with open(sys.argv[1] if len(sys.argv) > 1 else "ostrel.ico", "wb") as out:
        out.write(build())
