#!/usr/bin/env python3
# Writes valid GIFs of less than 1 MB that hold more than a gigapixel of real data: frames of one
# colour each, coded as ever longer LZW strings (about 1400 pixels a byte, the most LZW allows),
# so every frame is complete and every pixel must be read, worked on and written again. Kinds:
# a few huge frames, many large ones, and the same with local palettes, transparency, disposal 2
# and interlacing mixed in. bench/bounded_cost.sh times them. One more kind holds fewer pixels a
# byte (its strings start over after a few hundred codes), just under the number --best reduces
# as by default above: the most --best itself is asked to work on in less than 1 MB.
#
#   make_valid_bombs.py FOLDER
import os, struct, sys


class Packer:
    def __init__(self):
        self.out, self.buf, self.cnt = bytearray(), 0, 0

    def put(self, code, width):
        self.buf |= code << self.cnt
        self.cnt += width
        while self.cnt >= 8:
            self.out.append(self.buf & 255)
            self.buf >>= 8
            self.cnt -= 8

    def done(self):
        if self.cnt:
            self.out.append(self.buf & 255)
        return bytes(self.out)


def fill(pixels, pixel, m=2, codes=4093):
    """A code stream of exactly `pixels` pixels of one colour: each code one pixel longer, the
    dictionary starting over after `codes` codes."""
    clear = 1 << m
    p = Packer()
    p.put(clear, m + 1)
    width, nxt, left, length = m + 1, clear + 2, pixels, 0
    while left > 0:
        if length == 0:
            p.put(pixel, width)
            left, length = left - 1, 1
            continue
        if length + 1 <= left:
            p.put(nxt, width)  # the previous string and its first pixel
            length += 1
        else:
            length = left  # a shorter string the table holds ends the frame exactly
            p.put(pixel if length == 1 else clear + length, width)
        left -= length
        nxt += 1
        if nxt > (1 << width) - 1 and width < 12:
            width += 1
        if nxt >= min(4095, clear + 2 + codes):
            p.put(clear, width)
            width, nxt, length = m + 1, clear + 2, 0
    p.put(clear + 1, width)
    return p.done()


def subblocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        out.append(len(data[i:i + 255]))
        out += data[i:i + 255]
    return bytes(out) + b'\0'


def table(entries, seed):
    return bytes(x for i in range(entries) for x in ((i * seed) % 256, (i * 57) % 256, (i * 31) % 256))


def animation(size, frames, mixed, codes=4093):
    out = b'GIF89a' + struct.pack('<HHBBB', size, size, 0x81, 0, 0) + table(4, 97)
    for i in range(frames):
        colour = i % 3 + 1
        gce_flags, transparent, image_flags, local = 0, 0, 0, b''
        if mixed:
            gce_flags = 1 | ((2 if i % 2 else 1) << 2)  # transparency; disposal 2 or 1
            transparent = colour if i % 4 == 1 else 0
            if i % 2:
                image_flags, local = 0x81, table(4, 31)
            if i % 3 == 2:
                image_flags |= 0x40
        out += b'\x21\xf9\x04' + bytes([gce_flags]) + struct.pack('<H', 10) + bytes([transparent, 0])
        out += b'\x2c' + struct.pack('<HHHHB', 0, 0, size, size, image_flags) + local
        out += bytes([2]) + subblocks(fill(size * size, colour, codes=codes))
    return out + b'\x3b'


kinds = {
    'valid-1-frame-30000.gif': (30000, 1, False),
    'valid-3-frames-16000.gif': (16000, 3, False),
    'valid-20-frames-8000.gif': (8000, 20, False),
    'valid-160-frames-2800.gif': (2800, 160, False),
    'valid-mixed-10-frames-11300.gif': (11300, 10, True),
    'valid-mixed-20-frames-8000.gif': (8000, 20, True),
    'valid-few-a-byte-31-frames-2800.gif': (2800, 31, False, 500),
}
folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
for name, kind in kinds.items():
    data = animation(*kind)
    assert len(data) < 1 << 20, name
    open(os.path.join(folder, name), 'wb').write(data)
    print(name, len(data))
