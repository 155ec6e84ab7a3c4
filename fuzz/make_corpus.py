#!/usr/bin/env python3
"""Writes the seed corpus of the WAVE fuzz target: small WAVE files, good and bad.

Bytes 4 to 7 (the RIFF size, which the reader ignores) also steer the fuzz
target's choice of title length, copyright length and protection flag, so a
few seeds set them on purpose.

Usage: fuzz/make_corpus.py   (writes fuzz/corpus and fuzz/corpus-long)
"""
import math
import os
import struct
import sys


def chunk(ident, body, size=None, pad=True):
    stated = len(body) if size is None else size
    out = ident + struct.pack("<I", stated) + body
    if pad and len(body) % 2:
        out += b"\0"
    return out


def fmt(tag=1, channels=1, rate=8000, bits=16, extra=b""):
    align = channels * bits // 8
    return chunk(b"fmt ", struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits) + extra)


def tone(samples, rate=8000, freq=440.0, amplitude=12000):
    return b"".join(struct.pack("<h", int(amplitude * math.sin(2 * math.pi * freq * i / rate)))
                    for i in range(samples))


def data(body, size=None, pad=True):
    return chunk(b"data", body, size, pad)


def riff(chunks, riff_size=None):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body) if riff_size is None else riff_size) + body


def controls(title_length, copyright_length, protection):
    """A RIFF size field that makes the fuzz target pick these text lengths."""
    return title_length | (copyright_length << 8) | (protection << 24)


def seeds():
    sound = tone(200)  # 25 ms at 8000 Hz
    yield "canonical_8000", riff([fmt(), data(sound)])
    yield "canonical_4000", riff([fmt(rate=4000), data(tone(84, 4000))])
    yield "canonical_16000", riff([fmt(rate=16000), data(tone(400, 16000))])
    yield "rate_11025_shortest", riff([fmt(rate=11025), data(tone(231, 11025))])
    yield "too_short_8000", riff([fmt(), data(tone(167))])
    yield "data_size_zero", riff([fmt(), data(b"")])
    yield "data_before_fmt", riff([data(sound), fmt()])
    yield "list_odd_no_pad", riff([chunk(b"LIST", b"INFOISFT\x03\0\0\0ab\0", pad=False), fmt(), data(sound)])
    yield "list_odd_with_pad", riff([chunk(b"LIST", b"INFOx", pad=True), fmt(), data(sound)])
    yield "odd_chunk_padded", riff([chunk(b"junk", b"abc"), fmt(), data(sound)])
    yield "fmt_18_bytes", riff([fmt(extra=b"\0\0"), data(sound), chunk(b"fact", struct.pack("<I", 200))])
    yield "extensible", riff([fmt(tag=0xFFFE, extra=struct.pack("<HHI", 22, 16, 4) + bytes(16)), data(sound)])
    yield "float", riff([fmt(tag=3, bits=32), data(sound)])
    yield "stereo", riff([fmt(channels=2), data(sound)])
    yield "rate_22050", riff([fmt(rate=22050), data(sound)])
    yield "eight_bit", riff([fmt(bits=8), data(sound)])
    yield "two_data", riff([fmt(), data(sound), data(tone(50))])
    yield "second_fmt_bad", riff([fmt(), fmt(channels=2), data(sound)])
    yield "data_past_end", riff([fmt(), data(sound, size=len(sound) + 100)])
    yield "odd_data_at_end", riff([fmt(), data(sound + b"\x01", pad=False)])
    yield "bad_fmt_then_past_end", riff([fmt(rate=3999), chunk(b"junk", b"xx", size=1000)])
    yield "huge_chunk_size", riff([fmt(), data(sound), chunk(b"junk", b"", size=0xFFFFFFFF)])
    yield "trailing_bytes", riff([fmt(), data(sound)]) + b"\x01\x02\x03"
    yield "fmt_short_at_end", riff([data(sound), chunk(b"fmt ", struct.pack("<HHI", 1, 1, 8000))])
    yield "no_data", riff([fmt()])
    yield "no_fmt", riff([data(sound)])
    yield "riff_wave_only", riff([])
    yield "lower_case_riff", b"riff" + riff([fmt(), data(sound)])[4:]
    yield "long_texts_protected", riff([fmt(), data(sound)], riff_size=controls(50, 256, 1))
    yield "empty_texts", riff([fmt(rate=12000), data(tone(300, 12000))], riff_size=controls(0, 0, 0))


def melody(title=b"abc", copyright=b" ", protection=0, coded=b"\x80" * 8, rate=8000, fillers=0, stop=1):
    """A melody file as the builder lays it out, for the melody file reader."""
    def info(ident, body):
        return ident + struct.pack(">H", len(body)) + body

    infos = (info(b"sorc", bytes([protection])) + info(b"titl", title) + info(b"vers", b"0300")
             + info(b"date", b"20030601") + info(b"copy", copyright) + info(b"note", b"\0\0")
             + info(b"supt", b"Quorbin Ver.1.0.0"))
    header = struct.pack(">H", 3 + len(infos)) + b"\x01\x01\x01" + infos
    events = (bytes.fromhex("00FFFF00051101F30300")
              + b"\0\xFF\xFF" + struct.pack(">H", len(coded) + 8) + bytes.fromhex("1101F0070001")
              + struct.pack(">H", rate) + coded
              + bytes.fromhex("00FFFF00051101F30401 00FFD000 00FFB07F 00FFC37D 00FFBA01 00FFFF00061101F103007F")
              + bytes.fromhex("FFFFDE00") * fillers + bytes([stop]) + bytes.fromhex("FFFF00051101F10500")
              + bytes.fromhex("00FFD001 00FFDF00"))
    track = b"trac" + struct.pack(">I", len(events)) + events
    body = header + track
    return b"melo" + struct.pack(">I", len(body)) + body


def melody_seeds():
    yield "silence_example", melody()
    yield "protected_fillers", melody(b"t" * 50, b"c" * 20, 1, bytes(range(256)) * 4, 4000, 2, 3)


def long_seeds():
    """Files around the largest audio event (65527 coded bytes, 131054 samples).

    Mutating files this big slows the fuzzer down fivefold, so they are only
    replayed once per run, not fuzzed.
    """
    period = tone(64, 8000, 500.0, 30000)  # repeats exactly, so git stores it small

    def sound(samples):
        return (period * (samples // 64 + 1))[:2 * samples]

    yield "at_limit_4000", riff([fmt(rate=4000), data(sound(131054))], riff_size=controls(50, 256, 1))
    yield "one_over_limit_4000", riff([fmt(rate=4000), data(sound(131055))])
    yield "cut_16000", riff([fmt(rate=16000), data(sound(132000))], riff_size=controls(7, 3, 0))
    yield "cut_8000_odd_length", riff([fmt(), data(sound(140000) + b"\x05"), chunk(b"LIST", b"x", pad=False)])


def write(folder, files):
    os.makedirs(folder, exist_ok=True)
    for name, content in files:
        extension = ".mld" if content.startswith(b"melo") else ".wav"
        with open(os.path.join(folder, name + extension), "wb") as f:
            f.write(content)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write(os.path.join(here, "corpus"), seeds())
    write(os.path.join(here, "corpus"), melody_seeds())
    write(os.path.join(here, "corpus-long"), long_seeds())


if __name__ == "__main__":
    main()
