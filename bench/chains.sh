#!/usr/bin/env bash
# Time and peak memory of the permutation chains on an interactome-sized
# network, all measured in this one run:
#   - the recommended search (-p 5) without permutations, with 99 chains
#     (--null scores) and with 99 chains (--null degree), on 2 threads;
#   - the default search with 8 chains on 1 and on 2 threads, and without
#     chains, so that the chains' own time is the difference; the two
#     thread counts must give byte-identical files.
#
#   bash bench/chains.sh [--tenth] [DIR]
#
# DIR holds network.sif, pvalues.txt and association.txt; without it the
# STRING-like shape (19,400 nodes, 6.7 M interactions written in both
# directions, seed 11) is generated into a scratch folder and removed after.
# --tenth generates a tenth of that instead (a quick look, not the figures).
# BIN chooses the program (default build-rel/tarnvale, built in Release with
# the benchmarks when missing). Needs GNU time (/usr/bin/time).
set -euo pipefail
cd "$(dirname "$0")/.."

nodes=19400 edges=6700000 dir=""
for arg in "$@"; do
  case $arg in
    --tenth) nodes=1940 edges=670000 ;;
    *) dir=$arg ;;
  esac
done

bin=${BIN:-build-rel/tarnvale}
make=build-rel/bench/tarnvale_make_network
if [[ ! -x $bin || ( -z $dir && ! -x $make ) ]]; then
  cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release -DTARNVALE_BENCH=ON >/dev/null
  cmake --build build-rel -j"$(nproc)" >/dev/null
fi
[[ -x /usr/bin/time ]] || { echo "bench/chains.sh: needs GNU time (/usr/bin/time)" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if [[ -z $dir ]]; then
  dir=$scratch/net
  mkdir -p "$dir"
  "$make" "$nodes" "$edges" 11 "$dir" both >/dev/null
fi
bin=$(realpath "$bin")
dir=$(realpath "$dir")

# Prints "NAME: W s wall, U s user, M MB peak" for one invocation; its files
# go to $scratch/NAME/.
measure() {
  local name=$1
  shift
  mkdir -p "$scratch/$name"
  (cd "$scratch/$name" && /usr/bin/time -f "%e %U %M" -o time.txt \
    "$bin" -d "$dir/pvalues.txt" -a "$dir/association.txt" --seed 2026 "$@" \
    "$dir/network.sif" out >stdout.txt 2>stderr.txt)
  read -r wall user kb <"$scratch/$name/time.txt"
  printf '%-28s %8.2f s wall %8.2f s user %7d MB peak\n' "$name:" "$wall" "$user" $((kb / 1024))
  eval "wall_${name//-/_}=$wall mb_${name//-/_}=$((kb / 1024))"
}

echo "network: $dir ($(wc -l <"$dir/network.sif") lines); program: $bin; $(nproc) cores"
echo "uptime before: $(uptime)"
measure p5 -p 5 --threads 2
measure p5-chains99 -p 5 --permutations 99 --threads 2
measure p5-chains99-degree -p 5 --permutations 99 --null degree --threads 2
measure default --threads 1
measure chains8-threads1 --permutations 8 --threads 1
measure chains8-threads2 --permutations 8 --threads 2
echo "uptime after: $(uptime)"

same=yes
for f in "$scratch"/chains8-threads1/out*; do
  cmp -s "$f" "$scratch/chains8-threads2/$(basename "$f")" || same=no
done
sed 's/^Time taken = .*//' "$scratch/chains8-threads1/stdout.txt" >"$scratch/s1"
sed 's/^Time taken = .*//' "$scratch/chains8-threads2/stdout.txt" >"$scratch/s2"
cmp -s "$scratch/s1" "$scratch/s2" || same=no

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo
echo "99 chains over none (-p 5, 2 threads), wall: $(ratio "$wall_p5_chains99" "$wall_p5") (target <= 25)"
echo "99 chains over none, peak memory: $(ratio "$mb_p5_chains99" "$mb_p5") (target <= 1.3)"
echo "--null degree over --null scores, wall: $(ratio "$wall_p5_chains99_degree" "$wall_p5_chains99")"
chains1=$(awk -v a="$wall_chains8_threads1" -v b="$wall_default" 'BEGIN { print a - b }')
chains2=$(awk -v a="$wall_chains8_threads2" -v b="$wall_default" 'BEGIN { print a - b }')
echo "8 chains alone (wall minus the run without chains): ${chains1} s on 1 thread, ${chains2} s on 2"
echo "8 chains, 2 threads over 1, speed-up: $(ratio "$chains1" "$chains2") (target >= 1.8)"
echo "8 chains, peak memory 2 threads over 1: $(ratio "$mb_chains8_threads2" "$mb_chains8_threads1") (target <= 1.1)"
echo "8 chains, files and standard output the same on 1 and 2 threads: $same"
