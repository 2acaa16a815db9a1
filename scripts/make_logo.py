#!/usr/bin/env python3
"""Draws the about page's animated logo, data/Larkworks.gif: a bell that rings out its waves.

Plain Python 3 with no packages, so the logo can be drawn again on any machine:

    python3 scripts/make_logo.py data/Larkworks.gif
"""
import math
import struct
import sys

WIDTH, HEIGHT = 96, 64
BELL_X, BELL_Y = 48, 30  # centre of the bell's crown, where the waves start

# Palette index 0 is transparent, so the logo sits on every skin's background.
PALETTE = [
    (255, 255, 255),  # 0 transparent
    (138, 100, 18),   # 1 bell outline
    (217, 165, 32),   # 2 bell body
    (243, 211, 107),  # 3 bell highlight
    (60, 48, 30),     # 4 clapper
    (47, 85, 143),    # 5 inner wave
    (74, 116, 179),   # 6 middle wave
    (140, 170, 215),  # 7 outer wave
]
WAVES = [(24, 5), (31, 6), (38, 7)]  # radius, colour
# Frames: how many waves show, and how long the frame stays (hundredths of a second).
FRAMES = [(0, 40), (1, 15), (2, 15), (3, 35)]


def bell_half_width(y):
    """Half the bell's width on row y, or None outside the bell."""
    if 16 <= y < 30:  # the crown: a half circle
        dy = 30 - y
        return math.sqrt(max(0.0, 14 * 14 - dy * dy))
    if 30 <= y < 46:  # the waist flares towards the lip
        return 14 + (y - 30) * 6 / 16
    if 46 <= y < 50:  # the lip
        return 22
    return None


def bell_colour(x, y):
    if (x - BELL_X) ** 2 + (y - 12) ** 2 <= 16 and (x - BELL_X) ** 2 + (y - 12) ** 2 >= 4:
        return 1  # the ring it hangs from
    if (x - BELL_X) ** 2 + (y - 53) ** 2 <= 16:
        return 4  # the clapper
    half = bell_half_width(y)
    if half is None or abs(x + 0.5 - BELL_X) > half:
        return None
    if abs(x + 0.5 - BELL_X) > half - 1.5 or y in (16, 49):
        return 1
    if -half * 0.55 < x - BELL_X < -half * 0.25 and y < 44:
        return 3
    return 2


def wave_colour(x, y, count):
    dx, dy = x + 0.5 - BELL_X, y + 0.5 - BELL_Y
    if abs(dx) < 1 or abs(math.degrees(math.atan2(dy, abs(dx)))) > 35:
        return None
    distance = math.hypot(dx, dy)
    for radius, colour in WAVES[:count]:
        if abs(distance - radius) <= 1.5:
            return colour
    return None


def frame_pixels(waves):
    pixels = bytearray()
    for y in range(HEIGHT):
        for x in range(WIDTH):
            colour = bell_colour(x, y)
            if colour is None:
                colour = wave_colour(x, y, waves)
            pixels.append(colour or 0)
    return bytes(pixels)


def lzw(pixels, min_code_size):
    """GIF's variable-width LZW: codes grow a bit when the table outgrows them, up to 12."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, bits, nbits = bytearray(), 0, 0

    def emit(code, size):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    def fresh():
        return {bytes([i]): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, size = fresh()
    emit(clear, size)
    word = b""
    for pixel in pixels:
        longer = word + bytes([pixel])
        if longer in table:
            word = longer
            continue
        emit(table[word], size)
        if next_code < 4096:
            table[longer] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear, size)
            table, next_code, size = fresh()
        word = bytes([pixel])
    emit(table[word], size)
    emit(end, size)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def sub_blocks(data):
    blocks = bytearray()
    for start in range(0, len(data), 255):
        chunk = data[start:start + 255]
        blocks += bytes([len(chunk)]) + chunk
    return bytes(blocks + b"\x00")


def gif():
    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", WIDTH, HEIGHT, 0xF2, 0, 0)  # global table of 8 colours
    for r, g, b in PALETTE:
        data += bytes([r, g, b])
    data += b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    for waves, delay in FRAMES:
        # Disposal 2 (back to the background) and colour 0 transparent.
        data += b"\x21\xf9\x04" + struct.pack("<BHB", 0x09, delay, 0) + b"\x00"
        data += b"\x2c" + struct.pack("<HHHHB", 0, 0, WIDTH, HEIGHT, 0)
        data += b"\x03" + sub_blocks(lzw(frame_pixels(waves), 3))
    data += b"\x3b"
    return bytes(data)


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else "data/Larkworks.gif"
    with open(target, "wb") as file:
        file.write(gif())
