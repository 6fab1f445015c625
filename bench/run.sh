#!/usr/bin/env bash
# Builds a Release tree with the benchmarks and prints the speed figures, one
# "name: value" line each, all measured in this one run on this machine.
#
#   bash bench/run.sh [--quick] [--shapes]
#
# --quick uses smaller generated inputs and fewer repetitions (under a minute
# once the tree is built). --shapes runs the three interactome shapes at full
# size (STRING-like 19.4k nodes / 13.4 M lines in both directions, dense
# 19.6k nodes / 2 M lines, sparse 1 M nodes / 5 M edges) instead of a tenth
# (a fiftieth for the sparse one). BUILD_DIR chooses the tree (default build-bench).
# Needs libbenchmark-dev and GNU time (/usr/bin/time); installs them with
# apt-get when they are missing and this runs as root.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0 shapes=0
for arg in "$@"; do
  case $arg in
    --quick) quick=1 ;;
    --shapes) shapes=1 ;;
    *) echo "bench/run.sh: unknown argument $arg" >&2; exit 2 ;;
  esac
done

need=()
[[ -x /usr/bin/time ]] || need+=(time)
[[ -f /usr/include/benchmark/benchmark.h ]] || need+=(libbenchmark-dev)
if (( ${#need[@]} )); then
  if [[ $(id -u) -eq 0 ]]; then
    apt-get update -qq >/dev/null && apt-get install -y -qq "${need[@]}" >/dev/null
  else
    echo "bench/run.sh: please install: ${need[*]}" >&2
    exit 1
  fi
fi

build_dir=${BUILD_DIR:-build-bench}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTARNVALE_BENCH=ON -DTARNVALE_TESTS=OFF \
  >/dev/null
cmake --build "$build_dir" -j"$(nproc)" \
  --target tarnvale tarnvale_make_network tarnvale_speed_bench tarnvale_read_bench >/dev/null

bin="$build_dir/tarnvale"
make_network="$build_dir/bench/tarnvale_make_network"
speed_bench="$build_dir/bench/tarnvale_speed_bench"
read_bench="$build_dir/bench/tarnvale_read_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if (( quick )); then
  big_nodes=5000 big_edges=100000 mid_nodes=600 mid_edges=8000 repeats=1
  read_lines=200000 read_name=read_200k_lines_s
else
  big_nodes=25000 big_edges=500000 mid_nodes=2000 mid_edges=40000 repeats=3
  read_lines=1000000 read_name=read_1m_lines_s
fi
mkdir -p "$work/big" "$work/mid" "$work/read"
"$make_network" "$big_nodes" "$big_edges" 1 "$work/big"
"$make_network" "$mid_nodes" "$mid_edges" 3 "$work/mid"
"$make_network" $((read_lines / 10)) "$read_lines" 5 "$work/read"

echo "machine: $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores"
echo "mode: $([[ $quick -eq 1 ]] && echo quick || echo full)"
echo "big_graph: $big_nodes nodes, $big_edges edges"

# The library-level figures: background against the plain generator, both
# step evaluations, and whether they agree.
"$speed_bench" $([[ $quick -eq 1 ]] && echo --quick) "$work/big" "$work/mid"

# Wall seconds (best of $repeats) and peak memory (largest) of the program.
# Usage: timed NAME_S [NAME_MB] -- program arguments
timed() {
  local name_s=$1 name_mb=$2
  shift 3
  local best="" peak=0
  for _ in $(seq "$repeats"); do
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/out.log" 2>&1
    read -r seconds kb <"$work/time"
    if [[ -z "$best" ]] || awk "BEGIN{exit !($seconds < $best)}"; then best=$seconds; fi
    if (( kb > peak )); then peak=$kb; fi
  done
  echo "$name_s: $best"
  if [[ "$name_mb" != "-" ]]; then
    awk -v kb="$peak" -v n="$name_mb" 'BEGIN{printf "%s: %.0f\n", n, kb / 1024}'
  fi
}

ex=examples/string
timed example_default_run_s - -- \
  "$bin" -d $ex/pvalues.txt -a $ex/association.txt --seed 2026 $ex/network.sif "$work/example"
timed big_default_run_s big_peak_rss_mb -- \
  "$bin" -d "$work/big/pvalues.txt" -a "$work/big/association.txt" --seed 2026 \
  "$work/big/network.sif" "$work/bigrun"
# Reading and preparation only: no annealing run, a negligible edge background.
timed "$read_name" read_peak_rss_mb -- \
  "$bin" -d "$work/read/pvalues.txt" -a "$work/read/association.txt" --seed 2026 -r 0 -k 4 -i 2 \
  "$work/read/network.sif" "$work/readrun"

# The interactome shapes: NAME NODES EDGES SEED [both]. Each gives the
# seconds of `wc -l` on its file (the reading floor), of reading and
# preparing only, of reading it gzip-compressed, and of a default run with
# its peak memory.
if (( shapes )); then
  shape_list=("string 19400 6700000 11 both" "dense 19600 2000000 12" "sparse 1000000 5000000 13")
else
  shape_list=("string 1940 670000 11 both" "dense 1960 200000 12" "sparse 20000 100000 13")
fi
for shape in "${shape_list[@]}"; do
  read -r name nodes edges seed both <<<"$shape"
  dir="$work/$name"
  mkdir -p "$dir"
  "$make_network" "$nodes" "$edges" "$seed" "$dir" $both
  gzip -1 -c "$dir/network.sif" >"$dir/network.sif.gz"
  echo "${name}_shape: $nodes nodes, $(wc -l <"$dir/network.sif") lines"
  files=(-d "$dir/pvalues.txt" -a "$dir/association.txt" --seed 2026)
  timed "${name}_wc_l_s" - -- wc -l "$dir/network.sif"
  timed "${name}_read_s" "${name}_read_peak_rss_mb" -- \
    "$bin" "${files[@]}" -r 0 -k 4 -i 2 "$dir/network.sif" "$dir/readrun"
  # User seconds of reading the file and of removing its duplicate edges.
  "$read_bench" "$dir/network.sif" | sed -n "s/^\(read\|rde\)_user_s/${name}_&/p"
  timed "${name}_read_gzip_s" - -- \
    "$bin" "${files[@]}" -r 0 -k 4 -i 2 "$dir/network.sif.gz" "$dir/readrun"
  timed "${name}_default_run_s" "${name}_peak_rss_mb" -- \
    "$bin" "${files[@]}" "$dir/network.sif" "$dir/run"
  rm -rf "$dir"
done
