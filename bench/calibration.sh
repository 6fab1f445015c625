#!/usr/bin/env bash
# Calibration and power of the permutation p-values, on the bundled STRING
# network restricted to its nodes with data (proteins whose association row
# names a gene with a p-value, and the edges between them).
#
# Cells (data are seeded by cell and replicate, so every binary, null and
# setting sees the same replicates):
#   noise-const     uniform p-values everywhere, every edge value 0.5 (edge score 0)
#   noise-conf      the same p-values, the real STRING confidences as edge values
#   mS-aA           a connected module of S nodes grown at random, its p-values
#                   from Beta(A, 1), every other node uniform; edges 0.5
#   mS-aA-conf      the same with the real confidences
#   xS-aA-z         the module of mS-aA plus five extreme nodes outside it (p 1e-50
#   xS-aA-rank      to 1e-300, each with a neighbour of its own); --node-scores z or rank
# Each replicate is run once per null with --permutations K, two invocations
# side by side (--threads 1 each). Per cell, null and run the table gives the
# share of replicates whose rank-0 group has a family-wise (and a rank-wise)
# p <= 0.05, and for planted cells the share in which the group that overlaps
# the module most has p <= 0.05 ("found"), each with a 95% Wilson interval.
#
# Usage: bench/calibration.sh [options]
#   --cells "LIST"        cells to run (default: every cell listed below)
#   --noise-reps N        replicates of a noise cell (100)
#   --planted-reps N      replicates of a planted cell (50)
#   --first R             start at replicate R (1): a bench cut short goes on where it stopped
#   --nulls "LIST"        nulls (default "scores degree"; with LEGACY=1 "scores network")
#   -p P, -n N            search settings (5 and 10000); --extra "ARGS" adds more
#   --permutations K      permutation chains per invocation (19)
#   --jobs J              invocations side by side (2)
#   --results FILE        also keep the raw result lines there (one per replicate and run)
# Environment: BIN=path of the binary (build/tarnvale); LEGACY=1 for a binary
# whose significance table has no family-wise column (rank-wise p only).
# Example, quick: bench/calibration.sh --cells "noise-const m25-a0.1" --noise-reps 20 --planted-reps 10
# Run on demand only: the full bench takes hours on 2 cores.
set -euo pipefail
export PYTHONDONTWRITEBYTECODE=1
cd "$(dirname "$0")/.."
root=$PWD
binary=${BIN:-build/tarnvale}
legacy=${LEGACY:-0}
noise_reps=100
planted_reps=50
first=1
p=5
n=10000
perms=19
jobs=2
extra=""
results=""
if [ "$legacy" = 1 ]; then
    nulls="scores network"
    cells="noise-const noise-conf m25-a0.1"
else
    nulls="scores degree"
    cells="noise-const noise-conf m25-a0.1 x25-a0.1-z x25-a0.1-rank"
    for s in 10 25 50; do for a in 0.05 0.1 0.2 0.3; do
        [ "$s-$a" = 25-0.1 ] || cells="$cells m$s-a$a"
    done; done
fi
while [ $# -gt 0 ]; do
    case $1 in
    --cells) cells=$2 ;;
    --noise-reps) noise_reps=$2 ;;
    --planted-reps) planted_reps=$2 ;;
    --first) first=$2 ;;
    --nulls) nulls=$2 ;;
    -p) p=$2 ;;
    -n) n=$2 ;;
    --extra) extra=$2 ;;
    --permutations) perms=$2 ;;
    --jobs) jobs=$2 ;;
    --results) results=$2 ;;
    *) echo "unknown option $1 (see the head of $0)" >&2; exit 1 ;;
    esac
    shift 2
done
[[ $binary = /* ]] || binary=$root/$binary
[ -x "$binary" ] || { echo "no binary at $binary (set BIN=...)" >&2; exit 1; }
tag=$([ "$legacy" = 1 ] && echo before || echo after)

start=$(date +%s)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The job scripts run from a copy, so that editing them cannot touch a bench in progress.
cp bench/calibration.py "$work/"
py=$work/calibration.py
python3 "$py" network examples/string "$work"

# One job per line: cell, replicate, null.
for cell in $cells; do
    reps=$([[ $cell = noise-* ]] && echo "$noise_reps" || echo "$planted_reps")
    data=$(python3 -c 'import sys; sys.path.insert(0, sys.argv[2]); import calibration; print(calibration.parse_cell(sys.argv[1])[0])' "$cell" "$work")
    if [ ! -d "$work/data/$data" ]; then
        mkdir -p "$work/data/$data"
        python3 "$py" replicates "$work" "$cell" "$first" "$reps" "$work/data/$data"
    fi
    for rep in $(seq "$first" "$reps"); do
        for null in $nulls; do echo "$cell $rep $null"; done
    done
done >"$work/jobs"
echo "$(wc -l <"$work/jobs") invocations: binary $binary ($tag), -p $p -n $n --permutations $perms $extra," \
    "nulls $nulls, $jobs side by side" >&2

run_one() {
    local cell=$1 rep=$2 null=$3
    local data edges scores=()
    data=$(python3 -c 'import sys; sys.path.insert(0, sys.argv[2]); import calibration; print(calibration.parse_cell(sys.argv[1])[0])' "$cell" "$work")
    edges=const
    [[ $cell = *-conf ]] && edges=conf
    [[ $cell = *-rank ]] && scores=(--node-scores rank)
    [[ $cell = *-z ]] && scores=(--node-scores z)
    local dir=$work/run/$cell-$null-$rep
    mkdir -p "$dir"
    local t0 t1
    t0=$(date +%s.%N)
    # shellcheck disable=SC2086
    (cd "$dir" && "$binary" -d "$work/data/$data/$rep/pvalues.txt" -a "$work/association.txt" -p "$p" -n "$n" \
        --seed "$rep" --permutations "$perms" --null "$null" --threads 1 "${scores[@]}" $extra \
        "$work/$edges.sif" out >log 2>&1) || { echo "failed: $cell $rep $null (see $dir/log)" >&2; tail -3 "$dir/log" >&2; return 1; }
    t1=$(date +%s.%N)
    cp "$work/data/$data/$rep/planted.txt" "$work/data/$data/$rep/extremes.txt" "$dir/"
    local letters
    letters=$(cd "$dir" && ls out? | sed 's/^out//' | tr -d '\n')
    python3 "$py" score "$dir" "$letters" "$legacy" |
        awk -v pre="$tag $cell $null" -v s="$(echo "$t1 - $t0" | bc)" '{ print pre, $0, s }' >"$work/res/$cell-$null-$rep"
    rm -rf "$dir"
}
export -f run_one
export work py binary legacy p n perms extra tag
mkdir -p "$work/res"
xargs -P "$jobs" -L 1 bash -c 'run_one "$@"' _ <"$work/jobs"
cat "$work"/res/* >"$work/results"
[ -z "$results" ] || cp "$work/results" "$results"
python3 "$py" table "$work/results"
echo
awk '{ s += $NF; k++ } END { printf "mean seconds per invocation (wall, %d jobs side by side): %.2f\n", '"$jobs"', s / k }' "$work/results"
echo "total time: $(($(date +%s) - start)) s"
