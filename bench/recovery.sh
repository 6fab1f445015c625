#!/usr/bin/env bash
# Recovery benchmark: how well each start heuristic and search length finds
# planted modules. Plants three connected modules (10, 25 and 50 nodes grown
# inside the bundled STRING network) whose nodes get p-values drawn from
# Beta(0.1, 1), every other node a uniform p-value; runs tarnvale for every
# -p from 1 to 7 and every -n given, over SEEDS seeds, and prints mean
# precision, recall and F1 of the union of the last run's ranked groups
# against the planted nodes, and the mean time of one invocation.
#
# Usage: bench/recovery.sh [SEEDS (10)] [N values ("10000 100000")]
# Run on demand only; with the defaults it takes several minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
seeds=${1:-10}
ns=${2:-10000 100000}
binary=${TARNVALE:-build/tarnvale}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" "$seeds" examples/string/network.sif <<'PY'
import random, sys
work, seeds, sif = sys.argv[1], int(sys.argv[2]), sys.argv[3]
adjacent = {}
for line in open(sif):
    f = line.split('\t')
    if len(f) < 3 or f[0] == f[2].strip():
        continue
    a, b = f[0], f[2].strip()
    adjacent.setdefault(a, set()).add(b)
    adjacent.setdefault(b, set()).add(a)
nodes = sorted(adjacent)
for seed in range(1, seeds + 1):
    rng = random.Random(seed)
    taken = set()
    for size in (10, 25, 50):
        while True:  # grow from a random node through random frontier nodes
            module = {rng.choice(nodes)}
            frontier = set(adjacent[next(iter(module))]) - taken
            while len(module) < size and frontier:
                n = rng.choice(sorted(frontier))
                module.add(n)
                frontier |= adjacent[n]
                frontier -= module | taken
            if len(module) == size and not module & taken:
                taken |= module
                break
    with open(f"{work}/p{seed}.txt", "w") as p, open(f"{work}/a{seed}.txt", "w") as a:
        for n in nodes:
            value = rng.betavariate(0.1, 1) if n in taken else rng.random()
            p.write(f"{n}\t{max(value, 1e-300):.6g}\n")
            a.write(f"{n}\t{n}\n")
    open(f"{work}/planted{seed}.txt", "w").write("\n".join(sorted(taken)) + "\n")
PY

# Precision, recall and F1 of the first nmax (5) groups of a report.
score() {
    python3 - "$1" "$2" <<'PY'
import sys
planted = set(open(sys.argv[2]).read().split())
found, group = set(), -1
for line in open(sys.argv[1]):
    if line.startswith("Group No. "):
        group = int(line.split()[2].rstrip(":"))
    elif "\t" in line and 0 <= group < 5:
        found.add(line.split("\t")[0])
hit = len(found & planted)
p = hit / len(found) if found else 0.0
r = hit / len(planted)
print(f"{p} {r} {2 * p * r / (p + r) if hit else 0.0}")
PY
}

printf '| -p | -n | precision | recall | F1 | seconds |\n|---|---|---|---|---|---|\n'
for n in $ns; do
    for p in 1 2 3 4 5 6 7; do
        total="0 0 0 0"
        for seed in $(seq 1 "$seeds"); do
            start=$(date +%s.%N)
            (cd "$work" && "$OLDPWD/$binary" -d "p$seed.txt" -a "a$seed.txt" -p "$p" -n "$n" \
                --seed "$seed" "$OLDPWD/examples/string/network.sif" "out" >/dev/null)
            seconds=$(echo "$(date +%s.%N) - $start" | bc)
            total="$total $(score "$work/outB" "$work/planted$seed.txt") $seconds"
        done
        echo "$total" | awk -v p="$p" -v n="$n" -v k="$seeds" '{
            for (i = 5; i <= NF; i += 4) { a += $i; b += $(i+1); c += $(i+2); d += $(i+3) }
            printf "| %s | %s | %.2f | %.2f | %.2f | %.1f |\n", p, n, a/k, b/k, c/k, d/k }'
    done
done
