#!/usr/bin/env python3
"""Times a selection late in a long recording: quorbin-cli against ffmpeg's own
`-ss` doing the same work, and the same command with and without --fit.

The recordings are made here with ffmpeg from synthetic sound (a beeping tone
over pink noise): a 3-hour AAC .m4a and a 1-hour MP3, both 44.1 kHz stereo,
and a 1.5 GB WAVE file (8000 Hz mono, about 26 hours) written directly. They
take a few minutes to make; --media keeps them for the next run.

    sudo apt-get install ffmpeg
    python3 bench/compare_seek.py [--cli NAME=PATH ...] [--media DIR] [--runs N]

Each figure is the shortest wall time of N runs (the least disturbed by other
work on the machine), with the processor time of that run in brackets. With several --cli (say, a
build of main and one of a branch) each gets a column. The goals: a start near
the end within 1.5 times a start at 0:42 and within 1.5 times ffmpeg's time;
--fit within 1.2 times the same command without it. Uses only the standard library.
"""
import argparse
import os
import resource
import struct
import subprocess
import sys
import tempfile
import time

SELECTION = ["--resample", "--length", "15", "--fade-out", "800", "--normalize"]
GOAL_LATE = 1.5
GOAL_FIT = 1.2


def make_compressed(path, seconds, codec):
    """A beeping tone over pink noise, 44.1 kHz stereo, coded by `codec`."""
    if os.path.exists(path):
        return
    sound = [f"sine=f=440:beep_factor=3:d={seconds}:r=44100", f"anoisesrc=c=pink:a=0.05:d={seconds}:r=44100"]
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i", sound[0], "-f", "lavfi",
                    "-i", sound[1], "-filter_complex", "[0][1]amix=2,aformat=channel_layouts=stereo",
                    "-c:a", codec, "-b:a", "128k", "-y", path + ".part"], check=True)
    os.replace(path + ".part", path)


def make_big_wave(path, size=1_500_000_000, rate=8000):
    """A 16-bit mono WAVE file of `size` bytes: a sawtooth-like pattern, written block by block."""
    if os.path.exists(path):
        return
    block = b"".join(struct.pack("<h", ((i * 7919) % 1000 - 500) * 16) for i in range(1 << 19))
    data = size - 44
    with open(path + ".part", "wb") as out:
        out.write(b"RIFF" + struct.pack("<I", 36 + data) + b"WAVEfmt "
                  + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16) + b"data" + struct.pack("<I", data))
        left = data
        while left > 0:
            out.write(block[:min(left, len(block))])
            left -= len(block)
    os.replace(path + ".part", path)


def shortest_seconds(command, runs):
    """The shortest wall time of `runs` runs, and the processor time of that run (children included)."""
    best = None
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=False)
        wall = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        if result.returncode != 0:
            raise RuntimeError(f"{' '.join(command)} failed: {result.stderr.decode(errors='replace')[-400:]}")
        processor = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        if best is None or wall < best[0]:
            best = (wall, processor)
    return best


def convert(cli, source, output, start, *options):
    return [cli, "convert", "-q", "--start", start, *options, source, "-o", output]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", action="append", default=[], help="NAME=PATH of a quorbin-cli (repeatable)")
    parser.add_argument("--media", help="folder to keep the recordings in (default: a temporary one)")
    parser.add_argument("--runs", type=int, default=5)
    arguments = parser.parse_args()
    clis = [tuple(item.split("=", 1)) for item in arguments.cli] or [("quorbin-cli", "build/cli/quorbin-cli")]

    with tempfile.TemporaryDirectory() as scratch:
        media = arguments.media or scratch
        os.makedirs(media, exist_ok=True)
        aac, mp3, wave = (os.path.join(media, name) for name in ("long3h.m4a", "long1h.mp3", "big.wav"))
        make_compressed(aac, 3 * 3600, "aac")
        make_compressed(mp3, 3600, "libmp3lame")
        make_big_wave(wave)
        out = os.path.join(scratch, "out.mld")

        rows = []  # (label, {column: seconds})
        ffmpeg_times = {}
        for source, start in ((aac, "0:42"), (aac, "1:00:00"), (aac, "2:50:00"), (mp3, "0:42"), (mp3, "55:00")):
            label = f"{os.path.splitext(source)[1][1:]} --start {start}"
            ffmpeg_times[label] = shortest_seconds(["ffmpeg", "-nostdin", "-loglevel", "error", "-ss", start, "-t", "15",
                                                  "-i", source, "-ar", "8000", "-ac", "1", "-f", "wav", "-y",
                                                  os.path.join(scratch, "x.wav")], arguments.runs)
            rows.append((label, {name: shortest_seconds(convert(cli, source, out, start, *SELECTION), arguments.runs)
                                 for name, cli in clis}))
        fit = ["--resample", "--length", "30", "--fade-out", "800", "--normalize"]
        rows.append(("m4a --start 2:50:00 --length 30", {
            name: shortest_seconds(convert(cli, aac, out, "2:50:00", *fit), arguments.runs) for name, cli in clis}))
        rows.append(("m4a --start 2:50:00 --length 30 --fit", {
            name: shortest_seconds(convert(cli, aac, out, "2:50:00", *fit, "--fit"), arguments.runs)
            for name, cli in clis}))
        for options in (["--length", "15"], ["--length", "15", "--normalize"]):
            rows.append((f"1.5 GB WAVE --start 20:00:00 {' '.join(options)}", {
                name: shortest_seconds(convert(cli, wave, out, "20:00:00", *options), arguments.runs)
                for name, cli in clis}))

    names = [name for name, _ in clis]
    print("| case | " + " | ".join(f"{name} (s)" for name in names) + " | ffmpeg -ss (s) |")
    print("|---" * (len(names) + 2) + "|")
    shown = lambda figure: f"{figure[0]:.3f} ({figure[1]:.3f})"
    for label, times in rows:
        ffmpeg = shown(ffmpeg_times[label]) if label in ffmpeg_times else ""
        print(f"| {label} | " + " | ".join(shown(times[name]) for name in names) + f" | {ffmpeg} |")
    table = dict(rows)
    failed = False
    for name in names:
        wall = lambda label: table[label][name][0]
        checks = []
        for late, early in (("m4a --start 2:50:00", "m4a --start 0:42"), ("mp3 --start 55:00", "mp3 --start 0:42")):
            checks.append((f"{late} / {early}", wall(late) / wall(early), GOAL_LATE))
            checks.append((f"{late} / ffmpeg", wall(late) / ffmpeg_times[late][0], GOAL_LATE))
        checks.append(("--fit / without", wall("m4a --start 2:50:00 --length 30 --fit")
                       / wall("m4a --start 2:50:00 --length 30"), GOAL_FIT))
        print(f"\n{name}:")
        for label, ratio, goal in checks:
            print(f"  {label}: {ratio:.2f} (goal <= {goal}){'' if ratio <= goal else '  MISSED'}")
            failed |= ratio > goal
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
