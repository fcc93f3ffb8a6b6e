#!/usr/bin/env python3
"""Writes examples/demo-groove.thwacko: a synthetic sensor recording for trying thwacko without
an accelerometer. A laptop at rest (gravity near (0, 0, -1) g) with a little sensor noise, and
taps as short decaying jolts of varied force, alternating between the two palm rests.

Usage: tools/make_demo_recording.py [OUT]"""
import math
import random
import struct
import sys

RATE = 1000          # reports per second
SECONDS = 5.0
BEAT = 0.25          # an eighth note at 120 BPM
FORCES = [0.080, 0.024, 0.050, 0.026, 0.090, 0.030, 0.060, 0.020]  # g, one bar of eighths
DECAY = 0.003        # s
NOISE = 0.0006       # g, standard deviation per axis
# Jolt directions of a slap on the right and on the left palm rest.
RIGHT = (-0.35, 0.10, 0.93)
LEFT = (0.35, 0.10, -0.93)


def report(x, y, z):
    fixed = [max(-2**31, min(2**31 - 1, round(v * 65536))) for v in (x, y, z)]
    return bytes(6) + struct.pack("<iii", *fixed) + bytes(4)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "examples/demo-groove.thwacko"
    rng = random.Random(20261206)
    taps = []
    t, n = 0.5, 0
    while t < SECONDS - 0.3:
        taps.append((t, FORCES[n % len(FORCES)], RIGHT if n % 2 == 0 else LEFT))
        t += BEAT
        n += 1
    lines = ["thwacko-recording 1",
             "# Synthetic demo groove, made by tools/make_demo_recording.py: not a real sensor.",
             f"# {RATE} Hz, laptop at rest, {len(taps)} taps of varied force alternating right and left hands."]
    for i in range(int(SECONDS * RATE)):
        now = i / RATE
        sample = [rng.gauss(0, NOISE), rng.gauss(0, NOISE), -1.0 + rng.gauss(0, NOISE)]
        for start, force, direction in taps:
            if now >= start:
                envelope = force * math.exp(-(now - start) / DECAY)
                for axis in range(3):
                    sample[axis] += envelope * direction[axis]
        lines.append(f"{now:.6f} " + " ".join(f"{b:02X}" for b in report(*sample)))
    with open(out, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
