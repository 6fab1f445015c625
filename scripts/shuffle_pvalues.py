#!/usr/bin/env python3
"""Writes a synthetic p-values file: the p-values of a real one, shuffled
among its identifiers with a seeded generator, so that any signal is gone.

    python3 scripts/shuffle_pvalues.py [--seed S] [--keep FILE] IN OUT

Only the first line of each identifier is read (the program counts the first
occurrence), lines that are not an identifier and a p-value are left out,
and with --keep only identifiers that FILE lists (white-space separated, any
column; the association file, say) are written, which keeps the file small.
The lines keep their order; only the values move. The same input and seed
give the same bytes (Python's random.Random).
"""

import argparse
import random
import sys


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", type=int, default=2026)
    parser.add_argument("--keep", help="write only identifiers listed in this file")
    parser.add_argument("input")
    parser.add_argument("output")
    args = parser.parse_args()

    keep = None
    if args.keep:
        with open(args.keep, encoding="utf-8") as f:
            keep = set(f.read().split())
    ids, values, seen = [], [], set()
    with open(args.input, encoding="utf-8") as f:
        for line in f:
            fields = line.split()
            if len(fields) < 2 or fields[0] in seen:
                continue
            try:
                float(fields[1])
            except ValueError:
                continue
            seen.add(fields[0])
            if keep is None or fields[0] in keep:
                ids.append(fields[0])
                values.append(fields[1])
    if not ids:
        sys.exit(f"shuffle_pvalues.py: {args.input}: no identifier with a p-value to write")
    random.Random(args.seed).shuffle(values)
    with open(args.output, "w", encoding="utf-8") as f:
        for name, value in zip(ids, values):
            f.write(f"{name}\t{value}\n")


if __name__ == "__main__":
    main()
