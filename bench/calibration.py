#!/usr/bin/env python3
"""Data and scoring for bench/calibration.sh (Python 3 standard library only).

  calibration.py network STRINGDIR OUTDIR
      Restricts the bundled STRING network to its nodes with data (proteins
      whose association row names a gene with a p-value) and the edges
      between them; writes OUTDIR/conf.sif (real confidences),
      OUTDIR/const.sif (every edge 0.5, an edge score of 0) and
      OUTDIR/association.txt (each node stands for itself).
  calibration.py replicates OUTDIR CELL FIRST LAST ROOT
      Writes ROOT/REP/pvalues.txt, planted.txt and extremes.txt (empty for
      noise) for replicates FIRST to LAST of a cell; the data depend only on
      the cell's data name (see parse_cell) and the replicate.
  calibration.py score DIR LETTERS LEGACY
      Reads the reports and significance tables of one invocation (written as
      DIR/out<letter>) and prints one line per run.
  calibration.py table RESULTS
      Prints the tables of a results file (the lines of many score calls).

Cells: noise-const, noise-conf (uniform p-values everywhere), and
mSIZE-aA[-const|-conf] (a module of SIZE nodes grown at random inside the
restricted network, its nodes' p-values drawn from Beta(A, 1), every other
node uniform), and xSIZE-aA (the same plus five extreme nodes outside the
module, p 1e-50 to 1e-300, each with a neighbour of its own).
"""
import math
import os
import random
import sys


def read_network(stringdir):
    symbols_with_p = set()
    for line in open(os.path.join(stringdir, "pvalues.txt")):
        f = line.split()
        if len(f) >= 2:
            symbols_with_p.add(f[0])
    with_data = set()
    for line in open(os.path.join(stringdir, "association.txt")):
        f = line.rstrip("\n").split("\t")
        if len(f) >= 2 and any(s in symbols_with_p for s in f[1:]):
            with_data.add(f[0])
    edges = []
    for line in open(os.path.join(stringdir, "network.sif")):
        f = line.split()
        if len(f) >= 4 and f[0] in with_data and f[2] in with_data:
            edges.append((f[0], f[1], f[2], f[3]))
    return edges


def command_network(stringdir, outdir):
    edges = read_network(stringdir)
    nodes = sorted({e[0] for e in edges} | {e[2] for e in edges})
    with open(os.path.join(outdir, "conf.sif"), "w") as conf, open(os.path.join(outdir, "const.sif"), "w") as const:
        for a, t, b, v in edges:
            conf.write(f"{a}\t{t}\t{b}\t{v}\n")
            const.write(f"{a}\t{t}\t{b}\t0.5\n")
    with open(os.path.join(outdir, "association.txt"), "w") as assoc:
        for n in nodes:
            assoc.write(f"{n}\t{n}\n")
    print(f"restricted network: {len(nodes)} nodes with data, {len(edges)} edge lines")


def adjacency(outdir):
    adjacent = {}
    for line in open(os.path.join(outdir, "conf.sif")):
        a, _, b, _ = line.split("\t")
        if a == b:
            continue
        adjacent.setdefault(a, set()).add(b)
        adjacent.setdefault(b, set()).add(a)
    return adjacent


def grow(rng, adjacent, nodes, size):
    """A connected module of `size` nodes: from a random node, repeatedly add a
    random node of the frontier."""
    while True:
        module = {rng.choice(nodes)}
        frontier = set(adjacent[next(iter(module))])
        while len(module) < size and frontier:
            n = rng.choice(sorted(frontier))
            module.add(n)
            frontier |= adjacent[n]
            frontier -= module
        if len(module) == size:
            return module


def extremes(rng, adjacent, nodes, module, count=5):
    """`count` nodes outside the module and its neighbourhood, each with a
    neighbour of its own (outside the module's neighbourhood and every other
    extreme's closed neighbourhood)."""
    blocked = set(module)
    for m in module:
        blocked |= adjacent[m]
    chosen = []
    candidates = [n for n in nodes if n not in blocked]
    rng.shuffle(candidates)
    for x in candidates:
        if x in blocked:
            continue
        own = sorted(adjacent[x] - blocked)
        if not own:
            continue
        chosen.append(x)
        blocked |= {x} | adjacent[x]
        if len(chosen) == count:
            return chosen
    raise SystemExit("no room for the extreme nodes")


def parse_cell(cell):
    """Cell name -> (data name, settings). A cell's data depend only on its
    data name: noise-const and noise-conf share theirs, and so do mSIZE-aA and
    xSIZE-aA (the same module; x adds the extremes), whatever the suffix."""
    tokens = cell.split("-")
    if tokens[0] == "noise":
        return "noise", {"size": 0, "a": None, "extremes": False}
    kind, size, a = tokens[0][0], int(tokens[0][1:]), float(tokens[1][1:])
    return f"{size}-a{tokens[1][1:]}", {"size": size, "a": a, "extremes": kind == "x"}


def command_replicates(outdir, cell, first, last, root):
    adjacent = adjacency(outdir)
    nodes = sorted(adjacent)
    data, spec = parse_cell(cell)
    for rep in range(first, last + 1):
        dirname = os.path.join(root, str(rep))
        os.makedirs(dirname, exist_ok=True)
        rng = random.Random(f"{data}:{rep}")
        module = grow(rng, adjacent, nodes, spec["size"]) if spec["size"] else set()
        values = {n: rng.betavariate(spec["a"], 1) if n in module else rng.random() for n in nodes}
        extreme = extremes(rng, adjacent, nodes, module) if spec["extremes"] else []
        values.update(zip(extreme, (1e-50, 1e-100, 1e-150, 1e-200, 1e-300)))
        with open(os.path.join(dirname, "pvalues.txt"), "w") as p:
            for n in nodes:
                p.write(f"{n}\t{max(values[n], 1e-300):.10g}\n")
        with open(os.path.join(dirname, "planted.txt"), "w") as f:
            f.write("".join(n + "\n" for n in sorted(module)))
        with open(os.path.join(dirname, "extremes.txt"), "w") as f:
            f.write("".join(n + "\n" for n in extreme))


def read_report(path):
    groups, group = [], None
    for line in open(path):
        if line.startswith("Group No. "):
            group = set()
            groups.append(group)
        elif "\t" in line and group is not None:
            group.add(line.split("\t")[0])
    return groups


def read_significance(path, legacy):
    """rank -> (rank-wise p, family-wise p or None)"""
    rows = {}
    if not os.path.exists(path):
        return rows
    lines = open(path).read().splitlines()
    header = lines[0].split("\t")
    for line in lines[1:]:
        f = dict(zip(header, line.split("\t")))
        fw = None if legacy else float(f["familywise_p"])
        rows[int(f["group"])] = (float(f["p_value"]), fw)
    return rows


def command_score(dirname, letters, legacy):
    planted = set(open(os.path.join(dirname, "planted.txt")).read().split())
    for letter in letters:
        report = os.path.join(dirname, "out" + letter)
        groups = read_report(report) if os.path.exists(report) else []
        sig = read_significance(os.path.join(dirname, f"out{letter}.significance.tsv"), legacy)
        rw0, fw0 = sig.get(0, (None, None))
        # The group overlapping the planted module most (ties: the better rank).
        best, overlap = None, 0
        for k, g in enumerate(groups):
            if len(g & planted) > overlap:
                best, overlap = k, len(g & planted)
        rw, fw, size = None, None, 0
        if best is not None:
            rw, fw = sig.get(best, (None, None))
            size = len(groups[best])
        ranked_overlap = max((len(groups[k] & planted) for k in sig if k < len(groups)), default=0)
        fields = [letter, len(groups), len(sig), rw0, fw0, best, size, overlap, len(planted), rw, fw, ranked_overlap]
        print(" ".join("NA" if v is None else str(v) for v in fields))


def wilson(k, n, z=1.959963984540054):
    if n == 0:
        return (float("nan"), float("nan"))
    p = k / n
    d = 1 + z * z / n
    centre = (p + z * z / (2 * n)) / d
    half = z * math.sqrt(p * (1 - p) / n + z * z / (4 * n * n)) / d
    return (max(0.0, centre - half), min(1.0, centre + half))


def share(values):
    """'k/n = share [lo, hi]' for a list of p-values (None counts as > 0.05)."""
    n = len(values)
    k = sum(1 for v in values if v is not None and v <= 0.05)
    lo, hi = wilson(k, n)
    return f"{k}/{n} = {k / n:.3f} [{lo:.3f}, {hi:.3f}]" if n else "none"


def mean(values):
    return sum(values) / len(values) if values else float("nan")


def command_table(path):
    rows = {}
    for line in open(path):
        f = line.split()
        if not f:
            continue
        key = tuple(f[:4])  # binary, cell, null, run
        rows.setdefault(key, []).append([None if v == "NA" else v for v in f[4:]])
    print("95% intervals: Wilson score intervals. 'found': the group of the run that overlaps the planted")
    print("module most has a p-value <= 0.05 (a group without a p-value, i.e. not ranked, counts as not found).")
    print()
    print("| binary | cell | null | run | reps | rank 0 family-wise p <= 0.05 | rank 0 rank-wise p <= 0.05 |"
          " found, family-wise | found, rank-wise | best group ranked | recall | precision |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|")
    for key in sorted(rows):
        binary, cell, null, run = key
        reps = rows[key]
        # fields: groups, ranked, rw0, fw0, best, size, overlap, planted, rw, fw, ranked_overlap
        rw0 = [None if r[2] is None else float(r[2]) for r in reps]
        fw0 = [None if r[3] is None else float(r[3]) for r in reps]
        planted = int(reps[0][7])
        legacy = all(v is None for v in fw0)
        fw_cell = "n/a" if legacy else share(fw0)
        if planted:
            rw = [None if r[8] is None else float(r[8]) for r in reps]
            fw = [None if r[9] is None else float(r[9]) for r in reps]
            found_fw = "n/a" if legacy else share(fw)
            found_rw = share(rw)
            ranked = sum(1 for r in reps if r[8] is not None)
            recall = mean([int(r[6]) / planted for r in reps])
            precision = mean([int(r[6]) / int(r[5]) if r[5] and int(r[5]) else 0.0 for r in reps])
            extra = [found_fw, found_rw, f"{ranked}/{len(reps)}", f"{recall:.2f}", f"{precision:.2f}"]
        else:
            extra = [""] * 5
        cells = [binary, cell, null, run, str(len(reps)), fw_cell, share(rw0)] + extra
        print("| " + " | ".join(cells) + " |")


def main():
    cmd = sys.argv[1]
    if cmd == "network":
        command_network(sys.argv[2], sys.argv[3])
    elif cmd == "replicates":
        command_replicates(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]), sys.argv[6])
    elif cmd == "score":
        command_score(sys.argv[2], sys.argv[3], sys.argv[4] == "1")
    elif cmd == "table":
        command_table(sys.argv[2])
    else:
        raise SystemExit(f"unknown command {cmd}")


if __name__ == "__main__":
    main()
