#!/usr/bin/env python3
"""Makes the program's six short sounds as WAVE files (8-bit mono, 11025 Hz) and the
C++ table that embeds them (SoundData.cpp). Every sample is computed here: tones with
soft attack and decay, a click from a short noise burst, a chime from two partials."""
import math
import os
import random
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(HERE))
from EmbedResources import write_embedding  # noqa: E402

RATE = 11025


def envelope(i, n, attack=0.01, release=0.5):
    t = i / n
    a = min(1.0, t / attack) if attack > 0 else 1.0
    r = min(1.0, (1.0 - t) / release) if release > 0 else 1.0
    return a * r


def tone(freqs, seconds, volume=0.6, release=0.6):
    n = int(RATE * seconds)
    out = []
    for i in range(n):
        t = i / RATE
        v = sum(math.sin(2 * math.pi * f * t) * w for f, w in freqs)
        out.append(v * volume * envelope(i, n, 0.02, release))
    return out


def sweep(f0, f1, seconds, volume=0.5):
    n = int(RATE * seconds)
    out, phase = [], 0.0
    for i in range(n):
        f = f0 + (f1 - f0) * i / n
        phase += 2 * math.pi * f / RATE
        out.append(math.sin(phase) * volume * envelope(i, n, 0.02, 0.5))
    return out


def noise(seconds, volume, seed, lowpass=0.5):
    rnd = random.Random(seed)
    n = int(RATE * seconds)
    out, prev = [], 0.0
    for i in range(n):
        prev = prev * lowpass + rnd.uniform(-1, 1) * (1 - lowpass)
        out.append(prev * volume * envelope(i, n, 0.001, 0.9))
    return out


def wave_bytes(samples):
    data = bytes(max(0, min(255, int(round(128 + s * 127)))) for s in samples)
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    fmt = b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, RATE, RATE, 1, 8)
    return header + fmt + b"data" + struct.pack("<I", len(data)) + data


SOUNDS = {
    # A short plain tone.
    "BEEP": tone([(880, 1.0)], 0.12),
    # A dry mechanical click and a softer, shorter one.
    "CLEK": noise(0.035, 0.9, 7, 0.3),
    "CLICK": noise(0.02, 0.7, 11, 0.6),
    # Start-up: three rising notes.
    "INICIO": tone([(523.25, 1.0)], 0.1) + tone([(659.25, 1.0)], 0.1) + tone([(783.99, 1.0), (1567.98, 0.2)], 0.18),
    # Throwing away: a falling rustle.
    "LIXO": [a + b for a, b in zip(sweep(900, 200, 0.25, 0.35), noise(0.25, 0.5, 3, 0.7))],
    # News: a two-partial chime.
    "NOTICIA": tone([(1046.5, 0.7), (1318.5, 0.4)], 0.3, 0.5, 0.8),
}


def main():
    entries = []
    for name, samples in SOUNDS.items():
        data = wave_bytes(samples)
        with open(os.path.join(HERE, name + ".wav"), "wb") as f:
            f.write(data)
        entries.append((name, data))
    write_embedding(os.path.join(HERE, "SoundData.cpp"), "SoundResources", entries, "MakeSounds.py")


if __name__ == "__main__":
    main()
