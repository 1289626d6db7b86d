#!/usr/bin/env python3
"""Writes src/platform/upper_case_table.inc from a list of "SMALL CAPITAL" hexadecimal pairs, one a line,
as CharUpperBuffW gives them for every character of the Basic Multilingual Plane that it changes.

The list is made on Windows (or under Wine) by a program that calls CharUpperBuffW on each character
U+0001..U+FFFF, surrogates left out, and prints those it changes. Consecutive pairs that share their
distance and their step (1, or 2 for the alternating small/capital blocks) become one row."""
import sys

pairs = [tuple(int(x, 16) for x in line.split()) for line in open(sys.argv[1]) if line.strip()]
rows = []
for small, capital in pairs:
    delta = capital - small
    if rows:
        first, count, d, step = rows[-1]
        if d == delta and ((count == 1 and small - first in (1, 2)) or (count > 1 and small == first + count * step)):
            rows[-1] = (first, count + 1, d, small - first if count == 1 else step)
            continue
    rows.append((small, 1, delta, 1))
with open(sys.argv[2], "w", newline="\n") as out:
    out.write("// Made by tools/make_upper_case_table.py from CharUpperBuffW's mapping of the BMP: do not edit.\n")
    out.write("// first, count, capital minus small, step\n")
    for first, count, delta, step in rows:
        out.write(f"{{0x{first:04X}, {count}, {delta}, {step}}},\n")
