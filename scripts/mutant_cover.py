#!/usr/bin/env python3
"""Reads a kill matrix (scripts/mutants.sh -m FILE: a mutant id, a tab, the
tests that failed) and prints which tests are the only killer of some
mutant, a small set of further tests that kills every other killed mutant
(greedy), and the tests outside both: those no hand-made fault needs.

    python3 scripts/mutant_cover.py tests/mutants/matrix.tsv
"""
import sys

killers = {}
for line in open(sys.argv[1] if len(sys.argv) > 1 else "tests/mutants/matrix.tsv"):
    ident, _, tests = line.rstrip("\n").partition("\t")
    killers[ident] = set(tests.split())
tests = set().union(*killers.values())
sole = {}
for ident, found in killers.items():
    if len(found) == 1:
        sole.setdefault(next(iter(found)), []).append(ident)
chosen = set(sole)
left = {i: f for i, f in killers.items() if f and not f & chosen}
extra = []
while left:
    best = max(sorted(tests - chosen), key=lambda t: sum(t in f for f in left.values()))
    extra.append((best, sorted(i for i, f in left.items() if best in f)))
    chosen.add(best)
    left = {i: f for i, f in left.items() if best not in f}
print(f"{len(killers)} mutants, {sum(not f for f in killers.values())} survived;"
      f" {len(sole)} tests are the only killer of {sum(map(len, sole.values()))}")
for test in sorted(sole):
    print(f"  only killer  {test}: {' '.join(sorted(sole[test]))}")
for test, idents in extra:
    print(f"  also needed  {test}: {' '.join(idents)}")
print(f"{len(tests - chosen)} tests that kill mutants are not needed for any kill"
      " (tests that kill none are not in the matrix):")
for test in sorted(tests - chosen):
    print(f"  {test}")
