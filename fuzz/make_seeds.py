#!/usr/bin/env python3
"""Writes the fuzzers' seed inputs from pictures and movies made on the spot with ffmpeg and from
movies built here byte by byte, so the kept corpus holds nothing anyone else made.
Usage: fuzz/make_seeds.py   (from the repository; needs ffmpeg)"""
import lzma
import os
import struct
import subprocess
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DECODERS = os.path.join(HERE, "corpus", "decoders")
MOVIE = os.path.join(HERE, "corpus", "movie")
# Selector bytes of the decoders harness: its bitmap tags in this order.
TAG6, TAG21, TAG35, TAG90 = 0, 1, 2, 3


def ffmpeg(*arguments):
    subprocess.run(["ffmpeg", "-v", "error", "-y", *arguments], check=True)


def jpeg_segments(data):
    """(marker, bytes) for every segment up to the scan; the scan runs to the end."""
    segments, i = [], 2
    while i < len(data):
        marker = data[i + 1]
        if marker == 0xDA:
            segments.append((marker, data[i:]))
            break
        length = struct.unpack(">H", data[i + 2:i + 4])[0]
        segments.append((marker, data[i:i + 2 + length]))
        i += 2 + length
    return segments


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def decoder_seeds(work):
    jpeg_path, png_path = os.path.join(work, "p.jpg"), os.path.join(work, "p.png")
    ffmpeg("-f", "lavfi", "-i", "testsrc2=size=32x24", "-frames:v", "1", "-c:v", "mjpeg", "-pix_fmt", "yuvj420p",
           jpeg_path)
    ffmpeg("-f", "lavfi", "-i", "testsrc2=size=16x12", "-frames:v", "1", png_path)
    jpeg = open(jpeg_path, "rb").read()
    png = open(png_path, "rb").read()
    segments = jpeg_segments(jpeg)
    tables = b"\xff\xd8" + b"".join(s for m, s in segments if m in (0xDB, 0xC4)) + b"\xff\xd9"
    image = b"\xff\xd8" + b"".join(s for m, s in segments if m not in (0xDB, 0xC4))
    alpha = zlib.compress(bytes((x * 8) % 256 for x in range(32 * 24)))

    write(DECODERS, "definebits_whole_jpeg", bytes([TAG6]) + struct.pack("<H", 0) + jpeg)
    write(DECODERS, "definebits_with_tables", bytes([TAG6]) + struct.pack("<H", len(tables)) + tables + image)
    write(DECODERS, "jpeg2_bogus_prefix", bytes([TAG21]) + b"\xff\xd9\xff\xd8" + jpeg)
    write(DECODERS, "jpeg2_png", bytes([TAG21]) + png)
    write(DECODERS, "jpeg3_alpha", bytes([TAG35]) + struct.pack("<I", len(jpeg)) + jpeg + alpha)
    write(DECODERS, "jpeg3_png", bytes([TAG35]) + struct.pack("<I", len(png)) + png)
    write(DECODERS, "jpeg4_alpha", bytes([TAG90]) + struct.pack("<IH", len(jpeg), 256) + jpeg + alpha)


class Bits:
    """Big-endian bit packing, as SWF records are written."""

    def __init__(self):
        self.bits = []

    def put(self, value, count):
        self.bits += [(value >> (count - 1 - i)) & 1 for i in range(count)]

    def signed(self, value, count):
        self.put(value & ((1 << count) - 1), count)

    def bytes(self):
        padded = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, padded[i:i + 8])), 2) for i in range(0, len(padded), 8))


def rect(x0, x1, y0, y1):
    bits = Bits()
    bits.put(16, 5)
    for value in (x0, x1, y0, y1):
        bits.signed(value, 16)
    return bits.bytes()


def tag(code, body):
    if len(body) < 63:
        return struct.pack("<H", (code << 6) | len(body)) + body
    return struct.pack("<HI", (code << 6) | 63, len(body)) + body


def square_shape(character, size, colour):
    """DefineShape: a square of `size` twips filled with an RGB colour, drawn with straight edges."""
    styles = bytes([1, 0x00]) + bytes(colour) + bytes([0])  # one solid fill, no lines
    bits = Bits()
    bits.put(1, 4)  # fill bits
    bits.put(0, 4)  # line bits
    bits.put(0, 1); bits.put(0b00011, 5)  # style change: move to, fill style 1
    bits.put(15, 5); bits.signed(0, 15); bits.signed(0, 15)
    bits.put(1, 1)  # fill style 1
    for dx, dy in ((size, 0), (0, size), (-size, 0), (0, -size)):
        bits.put(1, 1); bits.put(1, 1); bits.put(14, 4)  # straight edge, 16-bit deltas
        if dx and dy:
            bits.put(1, 1); bits.signed(dx, 16); bits.signed(dy, 16)
        else:
            bits.put(0, 1); bits.put(1 if dy else 0, 1); bits.signed(dx or dy, 16)
    bits.put(0, 6)  # end of shape
    return tag(2, struct.pack("<H", character) + rect(0, size, 0, size) + styles + bits.bytes())


def place(character, depth, x, y):
    matrix = Bits()
    matrix.put(0, 1); matrix.put(0, 1)  # no scale, no rotation
    matrix.put(16, 5); matrix.signed(x, 16); matrix.signed(y, 16)
    return tag(26, bytes([0x06]) + struct.pack("<HH", depth, character) + matrix.bytes())


def movie(frames):
    header = rect(0, 2000, 0, 1500) + struct.pack("<HH", 12 << 8, len(frames))
    body = tag(9, bytes([255, 255, 255])) + square_shape(1, 400, (200, 30, 30))
    sprite = square_shape(2, 200, (30, 30, 200))
    body += sprite
    inner = place(2, 1, 0, 0) + tag(1, b"") + place(2, 1, 100, 100)[:0] + tag(1, b"") + tag(0, b"")
    body += tag(39, struct.pack("<HH", 3, 2) + inner)
    for index, _ in enumerate(frames):
        body += place(1 if index % 2 == 0 else 3, 1 + index % 3, 100 * index, 50 * index) + tag(1, b"")
    body += tag(0, b"")
    return header + body


def signed_movie(signature, body_and_header):
    length = 8 + len(body_and_header)
    if signature == b"FWS":
        return b"FWS" + bytes([10]) + struct.pack("<I", length) + body_and_header
    if signature == b"CWS":
        return b"CWS" + bytes([10]) + struct.pack("<I", length) + zlib.compress(body_and_header)
    packed = lzma.compress(body_and_header, format=lzma.FORMAT_ALONE)
    properties, raw = packed[:5], packed[13:]
    return b"ZWS" + bytes([13]) + struct.pack("<II", length, len(raw)) + properties + raw


def action(code, data=b""):
    """One action record; codes from 0x80 carry a length and data."""
    if code < 0x80:
        return bytes([code])
    return bytes([code]) + struct.pack("<H", len(data)) + data


def push(*values):
    data = b""
    for value in values:
        if isinstance(value, str):
            data += b"\x00" + value.encode() + b"\x00"
        elif isinstance(value, tuple):  # ("c", index): a constant
            data += bytes([8, value[1]])
        else:
            data += b"\x06" + struct.pack("<d", float(value))[4:] + struct.pack("<d", float(value))[:4]
    return action(0x96, data)


def scripted_movie():
    """A movie whose frames run ActionScript: a constant pool, a loop with branches, clip properties, the
    drawing API, a defineFunction2 called with registers, a label goto, and a clip with event handlers."""
    pool = ["i", "box", "_x", "m", "lineTo"]
    code = action(0x88, struct.pack("<H", len(pool)) + b"".join(p.encode() + b"\x00" for p in pool))
    code += push(("c", 0), 0) + action(0x1D)
    body = push(("c", 0), ("c", 0)) + action(0x1C) + action(0x50) + action(0x1D)
    test = push(("c", 0)) + action(0x1C) + push(5) + action(0x48) + action(0x12)
    exit_if = action(0x9D, struct.pack("<h", len(body) + 5))
    back = action(0x99, struct.pack("<h", -(len(test) + len(exit_if) + len(body) + 5)))
    code += test + exit_if + body + back
    code += push(("c", 1)) + action(0x1C) + push(("c", 2), ("c", 0)) + action(0x1C) + push(10) + action(0x0C)
    code += action(0x4F)
    code += push(1, ("c", 3), 2, "_root") + action(0x1C) + push("createEmptyMovieClip") + action(0x52) + action(0x17)
    for name, args in (("beginFill", (100, 0xFF0000)), ("moveTo", (0, 0)), ("lineTo", (0, 50)),
                       ("lineTo", (50, 50)), ("curveTo", (0, 0, 25, -20)), ("endFill", ())):
        code += push(*args, len(args), ("c", 3)) + action(0x1C) + push(name) + action(0x52) + action(0x17)
    function_body = action(0x96, bytes([4, 1])) + push(1) + action(0x47) + action(0x3E)
    header = b"f\x00" + struct.pack("<HBH", 1, 2, 0x02) + bytes([1]) + b"x\x00" + struct.pack("<H", len(function_body))
    code += action(0x8E, header) + function_body
    code += push(2, 1, "f") + action(0x3D) + action(0x26)
    code += action(0x8C, b"two\x00") + action(0x06) + b"\x00"
    events = push("_rotation", "_rotation") + action(0x1C) + push(15) + action(0x47) + action(0x1D) + b"\x00"
    clip_actions = struct.pack("<HI", 0, 0x03) + struct.pack("<II", 0x02, len(events)) + events + struct.pack("<I", 0)
    matrix = Bits()
    matrix.put(0, 1); matrix.put(0, 1); matrix.put(16, 5); matrix.signed(400, 16); matrix.signed(400, 16)
    named = tag(26, bytes([0xA6]) + struct.pack("<HH", 2, 3) + matrix.bytes() + b"spinner\x00" + clip_actions)
    header = rect(0, 2000, 0, 1500) + struct.pack("<HH", 12 << 8, 3)
    body = tag(9, bytes([255, 255, 255])) + square_shape(1, 400, (200, 30, 30)) + square_shape(2, 200, (30, 30, 200))
    body += tag(39, struct.pack("<HH", 3, 1) + place(2, 1, 0, 0) + tag(1, b"") + tag(0, b""))
    box = Bits()
    box.put(0, 1); box.put(0, 1); box.put(16, 5); box.signed(0, 16); box.signed(0, 16)
    body += tag(26, bytes([0x26]) + struct.pack("<HH", 1, 1) + box.bytes() + b"box\x00") + named
    body += tag(12, code) + tag(1, b"")
    body += tag(1, b"")
    body += tag(43, b"two\x00") + tag(12, action(0x07) + b"\x00") + tag(1, b"") + tag(0, b"")
    return header + body


def function(name, body, flags=None, registers=0):
    """defineFunction without parameters, or defineFunction2 with the flags given; the body follows it."""
    header = name.encode() + b"\x00" + struct.pack("<H", 0)
    if flags is not None:
        header += struct.pack("<BH", registers, flags)
    return action(0x9B if flags is None else 0x8E, header + struct.pack("<H", len(body))) + body


def try_catch_finally(body, handler, cleanup, catch_name="e"):
    """A try action with its three blocks after it."""
    data = struct.pack("<BHHH", 0x03, len(body), len(handler), len(cleanup)) + catch_name.encode() + b"\x00"
    return action(0x8F, data) + body + handler + cleanup


def classes_movie():
    """A movie whose script builds a chain of three classes calling super() and super.method(), and throws
    through a function call into try, catch and finally."""
    get, set_member, get_member, call_method, trace, pop = (action(c) for c in (0x1C, 0x4F, 0x4E, 0x52, 0x26, 0x17))
    call_super = push(0, "super") + get + action(0x96, b"\x03") + call_method + pop
    append_level = lambda letter: push("this") + get + push("level", "this") + get + push("level") + get_member + \
        push(letter) + action(0x47) + set_member
    code = function("C", push("this") + get + push("level", "C") + set_member)
    code += function("B", call_super + append_level("B"))
    # this in register 1, super in register 2
    code += function("A", push(0) + action(0x96, bytes([4, 2])) + action(0x96, b"\x03") + call_method + pop +
                     append_level("A"), flags=0x19, registers=3)
    code += push("B") + get + push("C") + get + action(0x69) + push("A") + get + push("B") + get + action(0x69)
    describe_c = push("this") + get + push("level") + get_member + action(0x3E)
    describe_b = push(0, "super") + get + push("describe") + call_method + push("B") + action(0x47) + action(0x3E)
    for owner, body in (("C", describe_c), ("B", describe_b)):
        code += push(owner) + get + push("prototype") + get_member + push("describe") + function("", body) + set_member
    code += function("fail", push("thrown") + action(0x2A))
    body = push(0, "A") + action(0x40) + push("describe") + call_method + trace + push(0, "fail") + action(0x3D)
    handler = push("e") + get + trace
    cleanup = push("finally") + trace
    code += try_catch_finally(body, handler, cleanup) + b"\x00"
    header = rect(0, 2000, 0, 1500) + struct.pack("<HH", 12 << 8, 1)
    return header + tag(9, bytes([255, 255, 255])) + tag(12, code) + tag(1, b"") + tag(0, b"")


def movie_seeds(work):
    write(MOVIE, "actions_fws.swf", signed_movie(b"FWS", scripted_movie()))
    write(MOVIE, "actions_classes_try.swf", signed_movie(b"FWS", classes_movie()))
    plain = movie(range(6))
    for signature in (b"FWS", b"CWS", b"ZWS"):
        write(MOVIE, "squares_" + signature.decode().lower() + ".swf", signed_movie(signature, plain))
    video = os.path.join(work, "video.swf")
    ffmpeg("-f", "lavfi", "-i", "testsrc2=size=64x48:rate=10", "-f", "lavfi", "-i", "sine=sample_rate=22050",
           "-t", "0.5", "-c:v", "flv1", "-c:a", "libmp3lame", "-ar", "22050", "-f", "swf", video)
    write(MOVIE, "ffmpeg_video_mp3.swf", open(video, "rb").read())


if __name__ == "__main__":
    with tempfile.TemporaryDirectory() as work:
        decoder_seeds(work)
        movie_seeds(work)
