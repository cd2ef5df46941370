#!/usr/bin/env python3
"""Compares two float WAV files frame by frame over a span: prints the energy of the difference
relative to the reference in dB and fails above a limit. Usage:
compare.py REFERENCE OTHER FROM TO LIMIT_DB [--silent]: with --silent, OTHER must stay below
LIMIT_DB relative to full scale over the span instead."""
import array
import math
import struct
import sys


def read(path):
    data = open(path, "rb").read()
    i = 12
    channels = 0
    while i < len(data):
        chunk, size = data[i:i + 4], struct.unpack("<I", data[i + 4:i + 8])[0]
        if chunk == b"fmt ":
            tag, channels = struct.unpack("<HH", data[i + 8:i + 12])
            bits = struct.unpack("<H", data[i + 22:i + 24])[0]
            if bits != 32:
                sys.exit(f"{path}: {bits}-bit samples, not 32-bit float")
        if chunk == b"data":
            samples = array.array("f")
            samples.frombytes(data[i + 8:i + 8 + size // 4 * 4])
            return samples, channels
        i += 8 + size + (size & 1)
    sys.exit(f"{path}: no data chunk")


def main():
    reference, rc = read(sys.argv[1])
    other, oc = read(sys.argv[2])
    start, end, limit = int(sys.argv[3]), int(sys.argv[4]), float(sys.argv[5])
    if rc != oc:
        sys.exit("channel counts differ")
    a = reference[start * rc:end * rc]
    b = other[start * oc:end * oc]
    if "--silent" in sys.argv:
        peak = max((abs(v) for v in b), default=0.0)
        level = 20 * math.log10(peak) if peak > 0 else -math.inf
        print(f"peak {level:.1f} dBFS over frames {start}..{end}")
        sys.exit(0 if level < limit else 1)
    if len(a) != len(b):
        sys.exit(f"lengths differ over the span: {len(a)} and {len(b)}")
    signal = sum(v * v for v in a)
    error = sum((x - y) ** 2 for x, y in zip(a, b))
    ratio = 10 * math.log10(error / signal) if error > 0 else -math.inf
    print(f"difference {ratio:.1f} dB relative over frames {start}..{end}")
    sys.exit(0 if signal > 0 and ratio < limit else 1)


if __name__ == "__main__":
    main()
