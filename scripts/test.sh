#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite in four
# stages:
#   1. every test of the normal build (build/), the million-node scale tests
#      included;
#   2. the same tests once more under AddressSanitizer and
#      UndefinedBehaviorSanitizer (build-asan/), without the scale tests;
#   3. each libFuzzer target for FUZZ_SECONDS seconds (default 30; clang,
#      build-fuzz/); an input that breaks one is kept in
#      tests/data/fuzz_regressions/ and fails the stage;
#   4. the bundled example under valgrind, which must report no error and no
#      definitely lost bytes.
# Each stage prints its duration when it ends.
set -euo pipefail
cd "$(dirname "$0")/.."
# zip, xz-utils, bzip2, zstd: the end-to-end tests make files that are refused.
bash scripts/setup.sh clang libclang-rt-14-dev valgrind zip xz-utils bzip2 zstd

# Starts a stage, ending the previous one with its duration.
stage_name=""
stage_start=$SECONDS
stage() {
  [[ -n $stage_name ]] && echo "== $stage_name: $((SECONDS - stage_start)) s"
  stage_name=$1
  stage_start=$SECONDS
  [[ -n $stage_name ]] && echo "== $stage_name ($(date +%T))"
  return 0
}

stage "1. Tests"
# Line tables only: enough for valgrind's and the tests' messages, and a far
# shorter build than full debug information.
bash scripts/build.sh -DTARNVALE_TESTS=ON -DTARNVALE_WERROR=ON "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600

stage "2. Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# No -Werror here: the sanitizers make GCC warn inside the standard library.
# -O1 with line tables only: the usual choice for sanitizers, and it halves
# the build time.
BUILD_DIR=build-asan bash scripts/build.sh -DTARNVALE_TESTS=ON -DTARNVALE_SANITIZE=ON \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1"
# A million nodes under the sanitizers would take minutes; the scale tests
# ran in stage 1.
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 600 -E '^e2e\.Scale\.'

stage "3. Fuzzing, ${FUZZ_SECONDS:-30} s per target"
bash fuzz/run.sh "${FUZZ_SECONDS:-30}"

stage "4. valgrind on the bundled example"
mkdir -p build/valgrind
valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite -q \
  ./build/tarnvale -d examples/string/pvalues.txt -a examples/string/association.txt \
  --seed 2026 examples/string/network.sif build/valgrind/string > build/valgrind/string.log
echo "valgrind: no error, no definitely lost bytes"
stage ""
