#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite in four
# stages, each of them the same on every run (nothing random, nothing timed):
#   1. the layout of every committed C++ file (scripts/check_format.sh);
#   2. GCC, warnings as errors, optimised as a user builds it (build/):
#      every test;
#   3. the bundled example, with permutations, ensemble, threads and every
#      export, under valgrind, which must report no error and no definitely
#      lost bytes (the stage 2 binary);
#   4. Clang, warnings as errors, with AddressSanitizer and
#      UndefinedBehaviorSanitizer (build-clang/): every test but the
#      workflow test, among them the replay of the fuzz corpora and of
#      every input a fuzzer ever broke a target with; the libFuzzer targets
#      are built and run once over those inputs.
# Fuzzing with random inputs runs on demand: bash fuzz/run.sh SECONDS; so
# do the million-node networks: bash bench/scale.sh.
# Each stage prints its duration and processor time when it ends.
set -euo pipefail
cd "$(dirname "$0")/.."
# zip, xz-utils, bzip2, zstd: the end-to-end tests make files that are refused;
# chromium: the report page is opened in a browser; python3-networkx: the
# GraphML export is read back by an independent reader; snakemake: the
# workflow test (tests/e2e/workflow_test.cpp) runs workflow/Snakefile.
bash scripts/setup.sh clang libclang-rt-14-dev clang-format-14 valgrind zip xz-utils bzip2 zstd \
  chromium python3-networkx snakemake

# Processor seconds (user and system) of every finished child of this shell,
# the compilers and tests included: on a machine shared with other work the
# wall-clock time says little, these say what a stage costs.
cpu_seconds() {
  local stat
  stat=$(< /proc/$$/stat)
  stat=${stat##*) }  # the fields after the command name
  read -r -a fields <<<"$stat"
  echo $(((fields[13] + fields[14]) / $(getconf CLK_TCK)))
}

# Starts a stage, ending the previous one with its duration.
stage_name=""
stage_start=$SECONDS
stage_cpu=$(cpu_seconds)
stage() {
  local cpu
  cpu=$(cpu_seconds)
  [[ -n $stage_name ]] &&
    echo "== $stage_name: $((SECONDS - stage_start)) s ($((cpu - stage_cpu)) s of processor time)"
  stage_name=$1
  stage_start=$SECONDS
  stage_cpu=$cpu
  [[ -n $stage_name ]] && echo "== $stage_name ($(date +%T))"
  return 0
}

stage "1. Formatting"
bash scripts/check_format.sh

stage "2. GCC build, warnings as errors; every test"
# Line tables only: enough for valgrind's and the tests' messages, and a far
# shorter build than full debug information.
bash scripts/build.sh -DTARNVALE_TESTS=ON -DTARNVALE_WERROR=ON "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600

stage "3. valgrind on the bundled example"
# A tenth of the default background draws: the same code, a third of the time.
mkdir -p build/valgrind
valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite -q \
  ./build/tarnvale -d examples/string/pvalues.txt -a examples/string/association.txt \
  --seed 2026 -i 1000 --permutations 3 --ensemble 2 --threads 2 --summary --cytoscape --dot --html \
  examples/string/network.sif build/valgrind/string > build/valgrind/string.log
echo "valgrind: no error, no definitely lost bytes"

stage "4. Clang build, warnings as errors, sanitizers; every test but the workflow test"
# The fuzz option instruments for libFuzzer and adds both sanitizers, so one
# build serves the tests and the fuzz targets. -O1 with line tables, the
# usual choice for sanitizers; the test code itself at -O0 (half the build).
BUILD_DIR=build-clang bash scripts/build.sh -DCMAKE_CXX_COMPILER=clang++ -DTARNVALE_TESTS=ON \
  -DTARNVALE_FUZZ=ON -DTARNVALE_WERROR=ON "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" \
  -DTARNVALE_TEST_FLAGS=-O0
# The workflow test ran in stage 2; it tests Snakemake's handling of the
# jobs more than the program.
ctest --test-dir build-clang --output-on-failure -j"$(nproc)" --timeout 600 -E '^e2e\.Workflow\.'
# Each kept input (corpus and regressions) run once by the libFuzzer target
# itself, which then makes no input of its own.
shopt -s nullglob
for target in sif_reader association_reader pvalue_reader pipeline; do
  inputs=(fuzz/corpus/"$target"/* tests/data/fuzz_regressions/"$target"/*)
  # Without an input the target would fuzz on for ever.
  ((${#inputs[@]})) || { echo "fuzz/corpus/$target holds no input"; exit 1; }
  log=build-clang/fuzz/$target.log
  build-clang/fuzz/fuzz_$target "${inputs[@]}" > "$log" 2>&1 ||
    { cat "$log"; echo "fuzz_$target failed on a kept input"; exit 1; }
  echo "fuzz_$target: $(grep -c '^Executed' "$log") of ${#inputs[@]} kept inputs passed"
done
shopt -u nullglob
stage ""
