#!/usr/bin/env python3
"""Writes the phrase of vorn_check_notes.lua as a Standard MIDI File: 120 BPM, 480 ticks a beat,
so that one tick is 50 samples at 48 kHz and every event lands on the same sample."""
import struct
import sys

SAMPLES_PER_TICK = 50
PHRASE = [(4800, 0x90, 60, 100), (4800, 0x90, 64, 90), (28800, 0x90, 67, 80),
          (52800, 0x80, 64, 0), (72000, 0x80, 60, 0), (76800, 0x90, 48, 110),
          (96000, 0x80, 67, 0), (120000, 0x80, 48, 0)]


def variable(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, 0x80 | (n & 0x7F))
        n >>= 7
    return bytes(out)


def main(path):
    track = variable(0) + b"\xff\x51\x03" + (500000).to_bytes(3, "big")
    now = 0
    for sample, status, note, velocity in PHRASE:
        tick = sample // SAMPLES_PER_TICK
        track += variable(tick - now) + bytes([status, note, velocity])
        now = tick
    track += variable(0) + b"\xff\x2f\x00"
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480))
        f.write(b"MTrk" + struct.pack(">I", len(track)) + track)


if __name__ == "__main__":
    main(sys.argv[1])
