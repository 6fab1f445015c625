#!/usr/bin/env bash
# Are the empirical enrichment p-values calibrated? On demand, seeded.
#
#   bash bench/enrichment_calibration.sh [REPLICATES] [PERMUTATIONS]
#
# Pure noise: REPLICATES (default 40) copies of the bundled STRING example
# whose genes get uniform p-values (replicate r draws them with seed r), each
# run with the recommended search (-p 5), PERMUTATIONS chains (default 19),
# the example's GO sets and labels, one edge value for every interaction.
# For every run it counts, over replicates and tested sets, how often a set's
# smallest p_empirical over the ranked groups is <= 0.05: the chance for one
# set, which must be at most 5% (with a 95% Wilson interval). It also counts
# the table rows at p_empirical <= 0.05 and the rows at q_bh <= 0.05, to show
# what naive enrichment would claim on the same noise.
# Planted signal: the planted example (examples/planted) with 99 chains; it
# prints where the planted GO sets stand in each run.
# BIN chooses the program (default build-rel/tarnvale, built when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
reps=${1:-40}
perms=${2:-19}
bin=${BIN:-build-rel/tarnvale}
if [[ ! -x $bin ]]; then
  cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build-rel -j"$(nproc)" --target tarnvale >/dev/null
fi
bin=$(realpath "$bin")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
E=$PWD/examples/string
awk -F'\t' 'BEGIN { OFS = "\t" } { $4 = 1; print }' "$E/network.sif" >"$scratch/network.sif"
common=(-a "$E/association.txt" -p 5 --gene-sets "$E/go_bp.gmt.gz" --labels "$E/labels.tsv")

for r in $(seq 1 "$reps"); do
  mkdir -p "$scratch/r$r"
  python3 - "$E/pvalues.txt" "$r" >"$scratch/r$r/pvalues.txt" <<'EOF'
import random, sys
rng = random.Random(int(sys.argv[2]))
for line in open(sys.argv[1]):
    fields = line.split()
    if len(fields) >= 2:
        print(f"{fields[0]}\t{rng.random():.6g}")
EOF
  echo "$r"
done | xargs -P "$(nproc)" -I{} sh -c 'd=$0 r=$1 b=$2 k=$3; shift 3; cd "$d/r$r" &&
  "$b" -d pvalues.txt "$@" --permutations "$k" --seed "$r" "$d/network.sif" out > stdout.txt 2>&1' \
  "$scratch" {} "$bin" "$perms" "${common[@]}"

python3 - "$scratch" "$reps" <<'EOF'
import math, os, re, sys
root, reps = sys.argv[1], int(sys.argv[2])
def wilson(k, n, z=1.96):
    if n == 0: return (0, 1)
    p = k / n; d = 1 + z * z / n
    c = (p + z * z / (2 * n)) / d; h = z * math.sqrt(p * (1 - p) / n + z * z / (4 * n * n)) / d
    return (max(0, c - h), min(1, c + h))
stats = {}
for r in range(1, reps + 1):
    d = os.path.join(root, f"r{r}")
    tested = [int(m) for m in re.findall(r"Gene sets of .*?: (\d+) of \d+ tested", open(os.path.join(d, "stdout.txt")).read())]
    for i, letter in enumerate("ABCDEFGH"[:len(tested)]):
        best, rows, small, naive = {}, 0, 0, 0
        path = os.path.join(d, f"out{letter}.enrichment.tsv")
        for line in open(path).read().splitlines()[1:]:
            f = line.split("\t")
            p = float(f[9]); rows += 1
            small += p <= 0.05; naive += float(f[8]) <= 0.05
            best[f[1]] = min(best.get(f[1], 1.0), p)
        s = stats.setdefault(letter, [0, 0, 0, 0, 0])
        s[0] += tested[i]; s[1] += sum(p <= 0.05 for p in best.values())
        s[2] += rows; s[3] += small; s[4] += naive
print(f"noise: {reps} replicates of the bundled example with uniform p-values")
print("| run | tested sets x replicates | sets with min p_empirical <= 0.05 | share [95% interval] | rows | rows at p_empirical <= 0.05 | rows at q_bh <= 0.05 |")
print("|---|---|---|---|---|---|---|")
for letter, (n, k, rows, small, naive) in sorted(stats.items()):
    lo, hi = wilson(k, n)
    print(f"| {letter} | {n} | {k} | {k / n:.4f} [{lo:.4f}, {hi:.4f}] | {rows} | {small} | {naive} |")
EOF

mkdir -p "$scratch/planted"
P=$PWD/examples/planted
(cd "$scratch/planted" && "$bin" -d "$P/pvalues.txt" "${common[@]}" --permutations 99 --seed 2026 \
  "$scratch/network.sif" out >stdout.txt 2>&1)
echo
echo "planted example, 99 chains: the planted GO sets' best row in each run"
echo "| run | set | group | overlap | group size | q_bh | p_empirical | rank of the row among the run's rows by p_hypergeometric |"
echo "|---|---|---|---|---|---|---|---|"
for f in "$scratch"/planted/out?.enrichment.tsv; do
  run=$(basename "$f" .enrichment.tsv); run=${run#out}
  for set in $(grep -o '^| GO:[0-9]*' "$P/PLANTED.md" | tr -d '| '); do
    sort -t$'\t' -k8,8g "$f" | awk -F'\t' -v s="$set" -v r="$run" \
      '$1 != "group" { n++ } $2 == s && !done { done = 1
        printf "| %s | %s | %s | %s | %s | %s | %s | %d |\n", r, s, $1, $4, $5, $9, $10, n }'
  done
done
