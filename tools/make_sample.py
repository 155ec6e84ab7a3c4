#!/usr/bin/env python3
"""Writes samples/voice.wav: the opening phrase of "Twinkle, Twinkle, Little Star"
played on a soft synthesised bell, as 16-bit mono PCM at 8000 Hz (3.6 s).

Uses only the Python standard library, so the sample can be rebuilt anywhere:
    python3 tools/make_sample.py [output.wav]
"""
import math
import struct
import sys
import wave

RATE = 8000
BEAT = 0.42  # seconds per quarter note
# (frequency in Hz, length in beats): C C G G A A G(half)
PHRASE = [(523.25, 1), (523.25, 1), (783.99, 1), (783.99, 1),
          (880.00, 1), (880.00, 1), (783.99, 2)]
# Bell-like partials: (ratio to the fundamental, level, decay per second).
PARTIALS = [(1.0, 1.0, 3.0), (2.0, 0.35, 5.0), (3.0, 0.12, 8.0)]
PEAK = 0.55 * 32767
LENGTH = 3.6  # seconds; each note rings on under the next until the fade-out
FADE = 0.3


def add_note(samples, start, frequency):
    """Adds one struck note from sample `start` to the end, with a 5 ms attack so it does not click."""
    attack = int(0.005 * RATE)
    for i in range(len(samples) - start):
        t = i / RATE
        value = sum(level * math.exp(-decay * t) * math.sin(2 * math.pi * frequency * ratio * t)
                    for ratio, level, decay in PARTIALS if frequency * ratio < RATE / 2)
        samples[start + i] += value * min(1.0, i / attack)


def phrase():
    samples = [0.0] * int(LENGTH * RATE)
    start = 0
    for frequency, beats in PHRASE:
        add_note(samples, start, frequency)
        start += int(beats * BEAT * RATE)
    fade = int(FADE * RATE)
    for i in range(fade):
        samples[-fade + i] *= 1 - i / fade
    return samples


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "samples/voice.wav"
    samples = phrase()
    loudest = max(abs(s) for s in samples)
    frames = b"".join(struct.pack("<h", round(s / loudest * PEAK)) for s in samples)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)
    print(f"{path}: {len(samples)} samples, {len(samples) / RATE:.2f} s at {RATE} Hz")


if __name__ == "__main__":
    main()
