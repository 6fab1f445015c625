#!/usr/bin/env bash
# Shards against one invocation on two cores: is sharing the permutation
# chains and ensemble searches out worth what every shard repeats? On demand,
# not in CI.
#
#   bash bench/shards.sh [REPEATS] [PERMUTATIONS] [SHARDS] [ENSEMBLE]
#
# On the STRING-like shape at a tenth of full size (bench/run.sh's, seeded:
# 1,940 nodes, 670,000 interactions written in both directions), with
#   -p 5 --permutations PERMUTATIONS (default 40) --ensemble ENSEMBLE
#   (default 8) --summary --seed 2026,
# each repetition (default 3) measures with /usr/bin/time:
#   single   one invocation with --threads 2;
#   sharded  in one measurement: --shard K/N for K = 1..N (SHARDS, default
#            4), two at a time (xargs -P 2: a shard starts as soon as one
#            ends, as a scheduler starts them), each with --threads 1, then
#            the merge (--merge N, --threads 1); each process is timed too;
#   fixed    what every shard and the merge repeat: the same invocation
#            without permutations and ensemble, --threads 1 (reading, edge
#            background, the runs with their node backgrounds);
#   workflow the same shards and merge through workflow/Snakefile with
#            `snakemake --cores 2` (Snakemake's own start and scheduling
#            included), when snakemake is installed;
# and once, the reading of the network alone (bench/read_bench.cpp).
# Each runs in its own folder with the output base `o`, so that the merge's
# files (and the workflow's) must equal the single invocation's byte for
# byte; the script stops if one differs. It prints each repetition's wall
# seconds, then the medians and the ratio sharded / single (target: at most
# 1.15). BUILD_DIR chooses the Release tree (default build-bench, as
# bench/run.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
repeats=${1:-3}
permutations=${2:-40}
shards=${3:-4}
ensemble=${4:-8}

need=()
[[ -x /usr/bin/time ]] || need+=(time)
[[ -f /usr/include/benchmark/benchmark.h ]] || need+=(libbenchmark-dev)  # for the bench tree
if ((${#need[@]})); then
  if [[ $(id -u) -eq 0 ]]; then
    apt-get update -qq >/dev/null && apt-get install -y -qq "${need[@]}" >/dev/null
  else
    echo "bench/shards.sh: please install: ${need[*]}" >&2
    exit 1
  fi
fi

build_dir=$repo/${BUILD_DIR:-build-bench}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTARNVALE_BENCH=ON -DTARNVALE_TESTS=OFF \
  >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target tarnvale tarnvale_make_network tarnvale_read_bench \
  >/dev/null
bin=$build_dir/tarnvale

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir net
"$build_dir/bench/tarnvale_make_network" 1940 670000 11 net both
# Run from a folder beside net/.
base=(-d ../net/pvalues.txt -a ../net/association.txt -p 5 --summary --seed 2026)
common=("${base[@]}" --permutations "$permutations" --ensemble "$ensemble")
network=../net/network.sif
command_line() { echo "tarnvale ${common[*]} $* $network o"; }

echo "machine: $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores"
echo "shape: 1940 nodes, $(wc -l <net/network.sif) lines; $permutations chains," \
  "$ensemble ensemble searches per run, $shards shards"
echo "single:   $(command_line --threads 2)"
echo "shard K:  $(command_line --threads 1 --shard "K/$shards")   (two at a time)"
echo "merge:    $(command_line --threads 1 --merge "$shards")"
echo "fixed:    tarnvale ${base[*]} --threads 1 $network o"

timed() {  # timed FILE COMMAND...: wall, user and system seconds, peak kB
  /usr/bin/time -f '%e %U %S %M' -o "$@"
}
field() { cut -d' ' -f"$2" "$1"; }
cpu() { awk '{ s += $2 + $3 } END { printf "%.2f", s }' "$@"; }
# The files of folder $1 must equal those of single/, and it must hold no other
# (the shard files and logs aside).
same_as_single() {
  local name
  for name in single/*; do
    cmp -s "$name" "$1/${name#single/}" ||
      { echo "bench/shards.sh: $1/${name#single/} differs from $name" >&2; exit 1; }
  done
  for name in "$1"/*; do
    case $name in *.shard-*) continue ;; esac
    [[ -e single/${name#"$1"/} ]] || { echo "bench/shards.sh: $name is not in single/" >&2; exit 1; }
  done
}

# Standard output $1 must be the single invocation's, up to the time taken.
same_output() {
  cmp -s <(sed '/^Time taken/,$d' single.log) <(sed '/^Time taken/,$d' "$1") ||
    { echo "bench/shards.sh: the standard output in $1 differs from the single invocation's" >&2; exit 1; }
}

flow_config() {
  cat <<EOF
program: $bin
network: net/network.sif
association: net/association.txt
traits:
  o: net/pvalues.txt
seed: 2026
shards: $shards
threads: 1
output: flow
options:
  degree: 5
  permutations: $permutations
  ensemble: $ensemble
  summary: true
EOF
}
have_flow=false
if command -v snakemake >/dev/null; then
  have_flow=true
  flow_config >config.yaml
  export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config
fi

run_single() {
  (cd single && timed ../single.time "$bin" "${common[@]}" --threads 2 "$network" o >out.log 2>&1)
}
# One measurement of the whole: the shards, two at a time, then the merge.
run_sharded() {
  (cd sharded && timed ../sharded.time bash -c '
    seq "$1" | xargs -P 2 -I K /usr/bin/time -f "%e %U %S %M" -o ../shard-K.time \
      "${@:3}" --threads 1 --shard "K/$1" "$2" o >shards.log 2>&1 &&
    /usr/bin/time -f "%e %U %S %M" -o ../merge.time "${@:3}" --threads 1 --merge "$1" "$2" o \
      >merge.log 2>&1' sharded "$shards" "$network" "$bin" "${common[@]}")
}
run_fixed() {
  (cd fixed && timed ../fixed.time "$bin" "${base[@]}" --threads 1 "$network" o >out.log 2>&1)
}
run_flow() {
  "$have_flow" || return 0
  timed flow.time snakemake -s "$repo/workflow/Snakefile" --configfile config.yaml --cores 2 \
    --quiet >flow.log 2>&1 || { cat flow.log >&2; exit 1; }
}

singles=() sharded=() fixeds=() merges=() flows=() single_cpu=() sharded_cpu=()
printf '%-4s %8s %8s %8s %8s %8s %8s\n' rep single sharded longest merge fixed workflow
for rep in $(seq "$repeats"); do
  rm -rf single sharded fixed flow .snakemake ./*.time
  mkdir single sharded fixed
  # Turn about, so that a change in the machine's other load favours neither.
  if ((rep % 2)); then
    run_single; run_sharded; run_fixed; run_flow
  else
    run_flow; run_fixed; run_sharded; run_single
  fi
  rm sharded/shards.log fixed/out.log
  mv single/out.log single.log
  mv sharded/merge.log merge.log
  same_as_single sharded
  same_output merge.log
  if "$have_flow"; then
    mv flow/o/o.log flow-merge.log
    same_as_single flow/o  # its standard output names the inputs by other paths
    flows+=("$(field flow.time 1)")
  fi
  singles+=("$(field single.time 1)") sharded+=("$(field sharded.time 1)")
  fixeds+=("$(field fixed.time 1)") merges+=("$(field merge.time 1)")
  single_cpu+=("$(cpu single.time)") sharded_cpu+=("$(cpu shard-*.time merge.time)")
  printf '%-4s %8s %8s %8s %8s %8s %8s\n' "$rep" "$(field single.time 1)" \
    "$(field sharded.time 1)" "$(cat shard-*.time | sort -g | tail -n 1 | cut -d' ' -f1)" \
    "$(field merge.time 1)" "$(field fixed.time 1)" "$("$have_flow" && field flow.time 1 || echo -)"
done

median() {
  printf '%s\n' "$@" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
single_median=$(median "${singles[@]}")
sharded_median=$(median "${sharded[@]}")
echo "files and standard output: every merge's equal the single invocation's, byte for byte"
echo "single_wall_s_median: $single_median"
echo "shards_plus_merge_wall_s_median: $sharded_median"
echo "ratio_median: $(ratio "$sharded_median" "$single_median") (target <= 1.15)"
if "$have_flow"; then
  flow_median=$(median "${flows[@]}")
  echo "workflow_wall_s_median: $flow_median (ratio $(ratio "$flow_median" "$single_median"))"
fi
# What the shards and the merge repeat, against the work that is shared out.
echo "merge_wall_s_median: $(median "${merges[@]}")"
echo "fixed_wall_s_median: $(median "${fixeds[@]}")"
# Processor time (user + system), less sensitive than wall time to other
# work on the machine.
# Reading alone, of what every process repeats.
"$build_dir/bench/tarnvale_read_bench" net/network.sif |
  awk -F': ' '/^(read|rde)_user_s/ { s += $2 } END { printf "reading_user_s: %.2f\n", s }'
echo "single_cpu_s_median: $(median "${single_cpu[@]}")"
echo "shards_plus_merge_cpu_s_median: $(median "${sharded_cpu[@]}")"
echo "last repetition, processor seconds: single $(cpu single.time), shards" \
  "$(for f in shard-*.time; do cpu "$f"; echo -n ' '; done)merge $(cpu merge.time)," \
  "fixed $(cpu fixed.time); peak MB: single $(field single.time 4 | awk '{ printf "%.0f", $1 / 1024 }')," \
  "shard $(cat shard-*.time | awk '$4 > m { m = $4 } END { printf "%.0f", m / 1024 }')," \
  "merge $(field merge.time 4 | awk '{ printf "%.0f", $1 / 1024 }')"
