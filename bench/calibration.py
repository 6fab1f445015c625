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
    data name: noise-const and noise-conf share theirs, and so do the cells
    of one module whatever the suffix; mSIZE-aA and xSIZE-aA have data of
    their own but the same modules and module p-values (see seed_name)."""
    tokens = cell.split("-")
    if tokens[0] == "noise":
        return "noise", {"size": 0, "a": None, "extremes": False}
    kind, size, a = tokens[0][0], int(tokens[0][1:]), float(tokens[1][1:])
    return f"{kind}{size}-a{tokens[1][1:]}", {"size": size, "a": a, "extremes": kind == "x"}


def seed_name(data):
    """The random stream of a data name: x and m data of one size and a share it."""
    return data[1:] if data[0] in "mx" else data


def command_replicates(outdir, cell, first, last, root):
    adjacent = adjacency(outdir)
    nodes = sorted(adjacent)
    data, params = parse_cell(cell)
    for rep in range(first, last + 1):
        dirname = os.path.join(root, str(rep))
        os.makedirs(dirname, exist_ok=True)
        rng = random.Random(f"{seed_name(data)}:{rep}")
        module = grow(rng, adjacent, nodes, params["size"]) if params["size"] else set()
        values = {n: rng.betavariate(params["a"], 1) if n in module else rng.random() for n in nodes}
        extreme = extremes(rng, adjacent, nodes, module) if params["extremes"] else []
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
    path = os.path.join(dirname, "extremes.txt")
    extreme = set(open(path).read().split()) if os.path.exists(path) else None
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
        min_rw = min((v[0] for v in sig.values()), default=None)
        size0 = len(groups[0]) if groups else 0
        extremes0 = None if extreme is None else len(groups[0] & extreme) if groups else 0
        fields = [letter, len(groups), len(sig), rw0, fw0, best, size, overlap, len(planted), rw, fw, ranked_overlap,
                  min_rw, size0, extremes0]
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
        r = [None if v == "NA" else v for v in f[4:]]
        if len(r) == 12:  # an older line without the last three fields
            r = r[:11] + [None, None, None] + r[11:]
        rows.setdefault(key, []).append(r)
    # r: groups, ranked, rw0, fw0, best, size, overlap, planted, rw, fw, ranked_overlap, min_rw, size0,
    #    extremes0, seconds
    print("95% intervals: Wilson score intervals. Noise cells: the share of replicates whose rank-0 group has")
    print("p <= 0.05 (for rank 0 the rank-wise and family-wise p are the same comparison), and whose smallest")
    print("rank-wise p over the ranked groups is <= 0.05. Planted cells, 'found': the group of the run that")
    print("overlaps the planted module most has p <= 0.05 (a group without a p-value, i.e. not ranked, counts")
    print("as not found).")
    print()
    print("| binary | cell | null | run | reps | rank 0 family-wise p <= 0.05 | rank 0 rank-wise p <= 0.05 |"
          " any rank-wise p <= 0.05 | found, family-wise | found, rank-wise |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    diagnostics = []
    def order(key):
        binary, cell, null, run = key
        nulls = ["scores", "degree", "network"]
        kind = 0 if cell.startswith("noise") else 1 if cell.startswith("m") else 2
        data, params = parse_cell(cell)
        return (binary, kind, params["size"], params["a"] or 0, cell, nulls.index(null) if null in nulls else 9, run)

    for key in sorted(rows, key=order):
        binary, cell, null, run = key
        reps = rows[key]
        pv = lambda i: [None if r[i] is None else float(r[i]) for r in reps]
        planted = int(reps[0][7])
        legacy = all(v is None for v in pv(3))
        known = [r[11] for r in reps if r[11] is not None or r[1] == "0"]  # lines that carry the field
        anyrw = share([None if v is None else float(v) for v in known]) if known else "n/a"
        cells = [binary, cell, null, run, str(len(reps)), "n/a" if legacy else share(pv(3)), share(pv(2)), anyrw]
        if planted:
            cells += ["n/a" if legacy else share(pv(9)), share(pv(8))]
            ranked = sum(1 for r in reps if r[8] is not None)
            at0 = sum(1 for r in reps if r[4] == "0")
            recall = mean([int(r[6]) / planted for r in reps])
            precision = mean([int(r[6]) / int(r[5]) if r[5] and int(r[5]) else 0.0 for r in reps])
            size = mean([int(r[5]) for r in reps])
        else:
            cells += ["", ""]
            ranked = at0 = None
            recall = precision = size = float("nan")
        print("| " + " | ".join(cells) + " |")
        with_x = [r for r in reps if r[13] is not None]
        with_size = [int(r[12]) for r in reps if r[12] is not None]
        diagnostics.append([binary, cell, null, run,
                            f"{mean([int(r[1]) for r in reps]):.1f}",
                            f"{mean([int(r[0]) for r in reps]):.0f}",
                            f"{mean(with_size):.1f}" if with_size else "",
                            "" if ranked is None else f"{at0}/{len(reps)}",
                            "" if ranked is None else f"{ranked}/{len(reps)}",
                            "" if ranked is None else f"{size:.1f}",
                            "" if ranked is None else f"{recall:.2f}",
                            "" if ranked is None else f"{precision:.2f}",
                            f"{sum(1 for r in with_x if int(r[13]) > 0)}/{len(with_x)}" if with_x and cell.startswith("x") else "",
                            f"{mean([float(r[14]) for r in reps]):.1f}"])
    print()
    print("Diagnostics: mean ranked groups and groups per report, mean size of group 0; for planted cells the")
    print("group that overlaps the module most: how often it is group 0, how often it is ranked, its mean size,")
    print("recall (planted nodes in it / module size) and precision (planted nodes in it / its size); for")
    print("cells with extreme nodes, how often group 0 holds one; mean wall seconds per invocation.")
    print()
    print("| binary | cell | null | run | ranked | groups | size 0 | best is 0 | best ranked | best size | recall |"
          " precision | extreme in 0 | seconds |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for d in diagnostics:
        print("| " + " | ".join(d) + " |")


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
