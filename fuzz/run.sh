#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ (or $FUZZ_BUILD_DIR)
# and runs each of them for SECONDS seconds (default 600), as many at once as
# there are cores, starting from its seed corpus in fuzz/corpus/<target>/ plus
# whatever earlier runs added in the build directory. An input that breaks a target is copied into
# tests/data/fuzz_regressions/<target>/, where the normal tests replay it,
# and the script then ends with status 1. On demand only: the test run
# (scripts/test.sh) makes no random input, it replays the kept ones.
#
#   bash fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh clang libclang-rt-14-dev
seconds=${1:-600}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(sif_reader association_reader pvalue_reader pipeline)
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}

mkdir -p "$build_dir"
cmake -S . -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" -DTARNVALE_FUZZ=ON -DTARNVALE_TESTS=OFF \
  > "$build_dir/configure.log" 2>&1 ||
  { cat "$build_dir/configure.log"; exit 1; }
cmake --build "$build_dir" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

# Runs one target; its libFuzzer log is $work/log, its exit status $work/status.
fuzz_one() {
  local target=$1 work="$build_dir/fuzz-work/$1"
  mkdir -p "$work/corpus" "$work/artifacts"
  rm -f "$work"/artifacts/*
  cp fuzz/corpus/"$target"/* "$work/corpus/"
  "$build_dir/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -timeout=30 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/corpus" > "$work/log" 2>&1 && echo 0 > "$work/status" || echo $? > "$work/status"
}

# As many targets at once as there are cores, each for the full time.
jobs=$(nproc)
for target in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= jobs)); do wait -n || true; done
  echo "Fuzzing $target for $seconds s"
  fuzz_one "$target" &
done
wait

found=0
for target in "${targets[@]}"; do
  work="$build_dir/fuzz-work/$target"
  status=$(cat "$work/status")
  echo "$target:"
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY|invariant broken' \
    "$work/log" | sed 's/^/  /' || true
  for artifact in "$work"/artifacts/*; do
    [ -e "$artifact" ] || continue
    mkdir -p "tests/data/fuzz_regressions/$target"
    cp "$artifact" "tests/data/fuzz_regressions/$target/"
    echo "  kept $(basename "$artifact") in tests/data/fuzz_regressions/$target/"
    found=1
  done
  if ((status != 0)); then
    echo "  fuzz_$target failed with status $status; its log: $work/log"
    found=1
  fi
done
exit $found
