#!/usr/bin/env python3
"""Compares Quorbin's 4-bit coder (standard and high quality) with ffmpeg's search
(`-trellis 8`) of the same coding family, on recordings this script makes.

Each recording is made with espeak-ng (two voices at several speeds) or sox
(plucked chords, a piano-like tone, a drum-like burst, pure, harmonic and swept
tones, and a full melody file's worth of them all) at 8000 and 16000 Hz. Each
coder's output is decoded by its own decoder and compared with the source: the
table gives the signal-to-noise ratio in dB and the processor time of the coders.

The peer is the one of ffmpeg's ADPCM encoders whose stream Quorbin's decoder
reads as ffmpeg's own decoder does; the script finds it by trying each.

    sudo apt-get install espeak-ng sox ffmpeg
    python3 bench/compare_peer.py [--build build] [--keep DIR]

Needs the benchmark build's bench/quorbin-adpcm-raw. Uses only the standard library.
"""
import argparse
import array
import math
import os
import re
import resource
import shutil
import struct
import subprocess
import sys
import tempfile

RATES = (8000, 16000)
MAX_SAMPLES = 131054  # the most samples a melody file holds
SOURCE_RATE = 48000   # sox recordings are made here, then resampled
TEXT = ("The quick brown fox jumps over the lazy dog. She sells sea shells by the sea shore, "
        "and the shells she sells are surely seashells. Six thick thistle sticks.")
VOICES = {"a": "en-us", "b": "en-gb+f3"}


def run(command, stdin=None):
    """Runs a command; returns its standard output and the processor time its children used."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    result = subprocess.run(command, input=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if result.returncode != 0:
        raise RuntimeError(f"{' '.join(command)} failed: {result.stderr.decode(errors='replace')[-400:]}")
    return result.stdout, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def sox(*arguments):
    """Runs sox with the same random numbers on every run and without dither, so the recordings repeat."""
    return run(["sox", "-R", "-D", *arguments])


def synth(work, name, seconds, *effects):
    """Makes work/NAME.wav with sox's synth; returns its path."""
    path = os.path.join(work, name + ".wav")
    sox("-n", "-r", str(SOURCE_RATE), "-b", "16", "-c", "1", path, "synth", str(seconds), *effects)
    return path


def joined(work, name, parts, *effects):
    """Makes work/NAME.wav of the recordings `parts` one after the other; returns its path."""
    path = os.path.join(work, name + ".wav")
    sox(*parts, path, *effects)
    return path


def make_speech(work, name, voice, speed):
    spoken = os.path.join(work, name + "_spoken.wav")
    run(["espeak-ng", "-v", VOICES[voice], "-s", str(speed), "-w", spoken, TEXT])
    return joined(work, name, [spoken], "rate", str(SOURCE_RATE))


def make_chords(work):
    chords = (("C3", "E3", "G3", "C4"), ("F3", "A3", "C4", "F4"), ("G3", "B3", "D4", "G4"), ("A3", "C4", "E4", "A4"))
    return joined(work, "chords", [
        synth(work, f"chord{i}", 1.2, *[w for note in chord for w in ("pluck", note)],
              "remix", "-", "fade", "0", "1.2", "0.3")
        for i, chord in enumerate(chords)])


def make_piano(work):
    # Struck strings: a few partials, the higher ones weaker, dying away.
    return joined(work, "piano", [
        synth(work, f"piano{i}", 0.7, "sine", note, "sine", f"{note}+12", "sine", f"{note}+19", "sine", f"{note}+24",
              "remix", "1v0.6,2v0.25,3v0.1,4v0.05", "fade", "l", "0.003", "0.7", "0.65")
        for i, note in enumerate(("C4", "E4", "G4", "C5", "G4", "E4"))])


def make_drums(work):
    thump = synth(work, "thump", 0.4, "sine", "120:45", "fade", "l", "0", "0.4", "0.38")
    noise = synth(work, "noise", 0.4, "pinknoise", "fade", "l", "0", "0.4", "0.39", "vol", "0.5")
    return joined(work, "drums", [joined(work, "hit", ["-m", thump, noise])], "repeat", "9")


def make_recordings(work):
    """Returns [(name, path at the source rate)]."""
    harmonics = range(1, 7)
    recordings = [
        ("speech, voice a, 130 wpm", make_speech(work, "speech_a130", "a", 130)),
        ("speech, voice a, 230 wpm", make_speech(work, "speech_a230", "a", 230)),
        ("speech, voice b, 110 wpm", make_speech(work, "speech_b110", "b", 110)),
        ("speech, voice b, 190 wpm", make_speech(work, "speech_b190", "b", 190)),
        ("plucked chords", make_chords(work)),
        ("piano-like notes", make_piano(work)),
        ("drum-like bursts", make_drums(work)),
        ("1000 Hz tone", synth(work, "pure", 4, "sine", "1000")),
        ("220 Hz tone, 6 harmonics",
         synth(work, "harmonic", 4, *[w for h in harmonics for w in ("sine", str(220 * h))],
               "remix", ",".join(f"{h}v{1 / h:.3f}" for h in harmonics))),
        ("sweep 100-3800 Hz", synth(work, "sweep", 5, "sine", "100/3800")),
    ]
    # A full file at 8000 Hz: the first 1.64 s of each.
    pieces = [joined(work, f"piece{i}", [path], "trim", "0", "1.64") for i, (_, path) in enumerate(recordings)]
    recordings.append(("all of them, a full file", joined(work, "mix", pieces)))
    return recordings


def raw_at(path, rate):
    """The recording as 16-bit mono samples at `rate`, peak at -1 dBFS, at most a full melody file."""
    out, _ = sox(path, "-t", "raw", "-e", "signed", "-b", "16", "-c", "1", "-L", "-",
                 "gain", "-n", "-6", "rate", "-v", str(rate), "gain", "-n", "-1")
    return out[:2 * MAX_SAMPLES]


def samples_of(raw, count):
    values = array.array("h")
    values.frombytes(raw[:2 * count])
    if sys.byteorder == "big":
        values.byteswap()
    return values + array.array("h", [0] * (count - len(values)))


def snr_db(source, decoded):
    signal = sum(x * x for x in source)
    noise = sum((x - y) ** 2 for x, y in zip(source, decoded))
    return 10 * math.log10(signal / noise) if noise else math.inf


class Coders:
    def __init__(self, tool, work):
        self.tool = tool
        self.work = work
        self.peer = None

    def ours(self, raw, quality):
        """(decoded samples, processor seconds of the encoding)."""
        coded, seconds = run([self.tool, quality], raw)
        decoded, _ = run([self.tool, "decode"], coded)
        return samples_of(decoded, len(raw) // 2), seconds

    def ffmpeg(self, raw, rate, codec, *options):
        """(decoded samples, processor seconds of the encoding, the file's data chunk)."""
        source = os.path.join(self.work, "peer_in.raw")
        coded = os.path.join(self.work, "peer.wav")
        with open(source, "wb") as f:
            f.write(raw)
        _, seconds = run(["ffmpeg", "-v", "error", "-y", "-f", "s16le", "-ar", str(rate), "-ac", "1", "-i", source,
                          "-c:a", codec, *options, "-f", "wav", coded])
        decoded, _ = run(["ffmpeg", "-v", "error", "-i", coded, "-f", "s16le", "-ac", "1", "-"])
        with open(coded, "rb") as f:
            data = data_chunk(f.read())
        return samples_of(decoded, len(raw) // 2), seconds, data

    def find_peer(self, raw, rate):
        """The ffmpeg encoder whose codes Quorbin's decoder hears as ffmpeg does."""
        listing, _ = run(["ffmpeg", "-hide_banner", "-encoders"])
        best = (-math.inf, None)
        for codec in re.findall(r"^ A\S* (adpcm_\w+)", listing.decode(), re.M):
            try:
                theirs, _, data = self.ffmpeg(raw, rate, codec)
            except RuntimeError:
                continue  # not writable in a WAVE file at this rate
            ours, _ = run([self.tool, "decode"], data)
            agreement = snr_db(theirs, samples_of(ours, len(theirs)))
            best = max(best, (agreement, codec))
        if best[0] < 30:
            sys.exit(f"no ffmpeg ADPCM encoder writes codes that Quorbin's decoder reads alike (best {best[0]:.1f} dB)")
        self.peer = best[1]
        return best[0]

    def peer_coded(self, raw, rate):
        decoded, seconds, _ = self.ffmpeg(raw, rate, self.peer, "-trellis", "8")
        return decoded, seconds


def data_chunk(wave):
    offset = 12
    while offset + 8 <= len(wave):
        name, size = struct.unpack_from("<4sI", wave, offset)
        if name == b"data":
            return wave[offset + 8:offset + 8 + size]
        offset += 8 + size + (size & 1)
    return b""


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build", help="the build folder (default: build)")
    parser.add_argument("--keep", help="make the recordings in DIR and keep them")
    args = parser.parse_args()
    tool = os.path.join(args.build, "bench", "quorbin-adpcm-raw")
    missing = [p for p in ("espeak-ng", "sox", "ffmpeg") if not shutil.which(p)]
    if missing:
        sys.exit(f"needs {' '.join(missing)}: sudo apt-get install espeak-ng sox ffmpeg")
    if not os.access(tool, os.X_OK):
        sys.exit(f"{tool} is missing: build with -DQUORBIN_BENCHMARKS=ON")
    work = args.keep or tempfile.mkdtemp(prefix="quorbin-peer-")
    os.makedirs(work, exist_ok=True)
    try:
        measure(Coders(tool, work), make_recordings(work))
    finally:
        if not args.keep:
            shutil.rmtree(work)


def measure(coders, recordings):
    agreement = coders.find_peer(raw_at(recordings[-1][1], 8000)[:2 * 8000], 8000)
    print(f"peer: ffmpeg -c:a {coders.peer} -trellis 8 (Quorbin's decoder agrees with ffmpeg's on its codes "
          f"to {agreement:.1f} dB)\n")
    print("| recording | rate | standard | high | peer | high - peer | high s | peer s |")
    print("|---|---|---|---|---|---|---|---|")
    differences = []
    for name, path in recordings:
        for rate in RATES:
            raw = raw_at(path, rate)
            source = samples_of(raw, len(raw) // 2)
            standard, _ = coders.ours(raw, "standard")
            high, high_seconds = coders.ours(raw, "high")
            peer, peer_seconds = coders.peer_coded(raw, rate)
            snr = [snr_db(source, decoded) for decoded in (standard, high, peer)]
            differences.append(snr[1] - snr[2])
            print(f"| {name} ({len(source) / rate:.2f} s) | {rate} | {snr[0]:.2f} | {snr[1]:.2f} | {snr[2]:.2f} "
                  f"| {snr[1] - snr[2]:+.2f} | {high_seconds:.2f} | {peer_seconds:.2f} |", flush=True)
    print(f"\nhigh - peer: mean {sum(differences) / len(differences):+.2f} dB, least {min(differences):+.2f} dB")


if __name__ == "__main__":
    main()
