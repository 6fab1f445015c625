#!/usr/bin/env bash
# Networks of a million nodes, end to end: a path (deep for any recursive
# walk) and a star (one node with a million neighbours). Each must finish
# with status 0 inside a 2 GiB address-space limit (about twice the measured
# peak: small enough to catch memory that grows faster than the network),
# report the node count, print no nan or inf, write its report and leave no
# temporary file. Annealing is cut to a few steps without quenching and the
# background to its smallest size, so that reading, preparation, evaluation
# and the report carry the run. Prints each case's verdict, wall seconds and
# peak memory; exits 1 when a case fails. On demand, not in CI (a case takes
# several seconds and writes 30 MB).
#
#   bash bench/scale.sh [NODES (1000000)]
#
# TARNVALE chooses the binary (default build/tarnvale, as scripts/build.sh
# makes it).
set -euo pipefail
cd "$(dirname "$0")/.."
nodes=${1:-1000000}
binary=$(realpath "${TARNVALE:-build/tarnvale}")
[[ -x $binary ]] || { echo "bench/scale.sh: build first (bash scripts/build.sh): no $binary" >&2; exit 1; }
if [[ ! -x /usr/bin/time ]]; then
  [[ $(id -u) -eq 0 ]] || { echo "bench/scale.sh: please install: time" >&2; exit 1; }
  apt-get update -qq >/dev/null && apt-get install -y -qq time >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
for shape in path star; do
  dir=$work/$shape
  mkdir "$dir"
  # Edge values 0.1 .. 0.9 by turns; p-values in (0, 1) that vary with i.
  awk -v n="$nodes" -v shape="$shape" -v dir="$dir" 'BEGIN {
      if (shape == "star") print "hub\t0.001" > (dir "/p.txt")
      for (i = 0; i < n; ++i) {
        if (shape == "star") print "hub pp n" i " 0." (i % 9 + 1) > (dir "/net.sif")
        else if (i + 1 < n) print "n" i " pp n" (i + 1) " 0." (i % 9 + 1) > (dir "/net.sif")
        printf "n%d\t%.6g\n", i, ((i * 7919) % 9973 + 1) / 9974.0 > (dir "/p.txt")
      }
      print "n0\tn0" > (dir "/a.txt")
    }'
  expected=$nodes
  [[ $shape == star ]] && expected=$((nodes + 1))
  status=0
  (cd "$dir" && ulimit -v 2097152 &&
    exec /usr/bin/time -f '%e %M' -o time.txt "$binary" -d p.txt -a a.txt --seed 5 -k 4 -i 2 -n 3 \
      -q 0 -r 2 net.sif out > out.txt 2>&1) || status=$?
  problems=()
  ((status == 0)) || problems+=("status $status")
  grep -qx "Number_of_nodes in the graph = $expected" "$dir/out.txt" || problems+=("node count")
  grep -qx "Program finished" "$dir/out.txt" || problems+=("not finished")
  ! grep -qwE 'nan|inf' "$dir/out.txt" || problems+=("nan or inf printed")
  [[ -f $dir/outA ]] || problems+=("no report")
  ! ls "$dir" | grep -q '\.tmp\.' || problems+=("temporary file left")
  if ((${#problems[@]})); then
    failed=1
    echo "$shape: FAILED (${problems[*]}); its output ends:"
    tail -n 5 "$dir/out.txt"
  else
    read -r seconds kilobytes < "$dir/time.txt"
    echo "$shape: ok, $expected nodes, $seconds s, peak $((kilobytes / 1024)) MB"
  fi
done
exit $failed
