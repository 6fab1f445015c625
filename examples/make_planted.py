#!/usr/bin/env python3
"""A synthetic p-value file with known answers for the bundled STRING network.

Every gene of examples/string/pvalues.txt gets a uniform p-value (no signal),
except the genes of a few planted modules: connected groups of the bundled
network whose genes all belong to one real GO biological-process set of
examples/string/go_bp.gmt.gz, which get p-values from Beta(0.1, 1) (mostly
far below 0.01). The right answer is therefore known: a search should find
the planted modules, and their GO sets should be the enriched terms.

Deterministic: the same seed gives the same files. Writes
examples/planted/pvalues.txt and examples/planted/PLANTED.md (the planted
sets and genes).

    python3 examples/make_planted.py [--seed 2026] [--modules 3]
"""

import argparse
import gzip
import os
import random
from collections import defaultdict

HERE = os.path.dirname(os.path.abspath(__file__))
STRING = os.path.join(HERE, "string")


def read_network():
    """Protein pairs of the network and the symbols of each protein."""
    symbols = {}
    with open(os.path.join(STRING, "association.txt")) as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) >= 2:
                symbols[fields[0]] = fields[1:]
    adjacent = defaultdict(set)
    with open(os.path.join(STRING, "network.sif")) as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 3 and fields[0] != fields[2]:
                adjacent[fields[0]].add(fields[2])
                adjacent[fields[2]].add(fields[0])
    return adjacent, symbols


def largest_component(nodes, adjacent):
    """The largest connected piece of the subgraph `nodes` induce, sorted."""
    left, best = set(nodes), []
    while left:
        start = min(left)
        piece, stack = {start}, [start]
        left.discard(start)
        while stack:
            for w in sorted(adjacent[stack.pop()]):
                if w in left:
                    left.discard(w)
                    piece.add(w)
                    stack.append(w)
        if len(piece) > len(best):
            best = sorted(piece)
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=2026)
    parser.add_argument("--modules", type=int, default=3)
    args = parser.parse_args()
    rng = random.Random(args.seed)

    adjacent, symbols = read_network()
    protein_of = {}
    for protein, names in symbols.items():
        for name in names:
            protein_of.setdefault(name, protein)
    genes, seen = [], set()
    with open(os.path.join(STRING, "pvalues.txt")) as f:
        for line in f:
            fields = line.split("\t")
            if len(fields) >= 2 and fields[0] not in seen:
                seen.add(fields[0])
                genes.append(fields[0])

    # Candidate sets: 15 to 60 genes in the network, whose genes hold a
    # connected piece of 8 to 20 proteins of more than one gene family. Sets
    # are taken in file order after a seeded shuffle, skipping any that share
    # a protein or a neighbour with a module already planted.
    candidates = []
    with gzip.open(os.path.join(STRING, "go_bp.gmt.gz"), "rt") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            proteins = {protein_of[g] for g in fields[2:] if g in protein_of}
            proteins &= set(adjacent)
            if 15 <= len(proteins) <= 60:
                candidates.append((fields[0], fields[1], sorted(proteins)))
    rng.shuffle(candidates)
    planted, used = [], set()
    for name, description, proteins in candidates:
        module = largest_component(proteins, adjacent)
        if not 8 <= len(module) <= 20 or used & set(module):
            continue
        # Not one gene family (names sharing their first three letters), whose
        # members are joined by similarity rather than by what they do.
        prefixes = {symbols[p][0][:3] for p in module if symbols.get(p)}
        if len(prefixes) < len(module) // 2:
            continue
        # The module's neighbourhood stays free too, so modules do not touch.
        near = set(module)
        for p in module:
            near |= adjacent[p]
        if used & near:
            continue
        planted.append((name, description, module))
        used |= near
        if len(planted) == args.modules:
            break

    signal = {}
    for _, _, module in planted:
        for protein in module:
            for gene in symbols.get(protein, []):
                signal[gene] = rng.random() ** 10  # Beta(0.1, 1)
    out = os.path.join(HERE, "planted")
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "pvalues.txt"), "w") as f:
        for gene in genes:
            p = signal.get(gene, rng.random())
            f.write("%s\t%.6g\n" % (gene, max(p, 1e-300)))
    with open(os.path.join(out, "PLANTED.md"), "w") as f:
        f.write("# Planted modules (synthetic; `python3 examples/make_planted.py --seed %d "
                "--modules %d`)\n\n" % (args.seed, args.modules))
        f.write("Every other gene of `pvalues.txt` has a uniform p-value. Each module is the "
                "largest connected piece, in the bundled network, of the proteins of one GO "
                "biological-process set; its genes have p-values from Beta(0.1, 1).\n\n")
        f.write("| GO set | description | proteins | genes |\n|---|---|---|---|\n")
        for name, description, module in planted:
            names = sorted(g for p in module for g in symbols.get(p, []))
            f.write("| %s | %s | %d | %s |\n" % (name, description, len(module), " ".join(names)))


if __name__ == "__main__":
    main()
