#!/usr/bin/env bash
# Mutation testing on demand (not part of CI): plants each hand-made fault of
# tests/mutants/mutants.tsv in a scratch copy of the tree, rebuilds it
# incrementally, runs the test suite until the first failure, and puts the
# file back. A mutant is "killed" when some test
# fails or times out, "survived" when the whole suite passes. A snippet that
# does not occur exactly once in its file, or a mutant that does not compile,
# is an error of the list: it is reported and the script ends with status 1.
#
#   bash scripts/mutants.sh [-o RESULT_FILE] [-d SCRATCH_DIR] [-m MATRIX_FILE] [ID...]
#
# With -m the suite runs to the end for every mutant and MATRIX_FILE gets one
# line per mutant: its id, a tab, and the tests that failed (space-separated),
# to see which tests kill what no other test kills.
#
# The scratch copy (default /tmp/tarnvale-mutants) is kept and refreshed on
# the next run, so only what changed is rebuilt. Builds use at most 2 jobs
# (MUTANT_JOBS). MUTANT_TESTS, a ctest regular expression, limits the suite to
# the tests it matches, to see which mutants one folder's tests kill alone.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
list=tests/mutants/mutants.tsv
out=""
matrix=""
scratch=/tmp/tarnvale-mutants
jobs=${MUTANT_JOBS:-2}
test_timeout=${MUTANT_TEST_TIMEOUT:-30}
while getopts "o:d:m:" flag; do
  case $flag in
    o) out=$OPTARG ;;
    d) scratch=$OPTARG ;;
    m) matrix=$OPTARG ;;
    *) echo "usage: $0 [-o RESULT_FILE] [-d SCRATCH_DIR] [-m MATRIX_FILE] [ID...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[[ -n $out && $out != /* ]] && out=$repo/$out
[[ -n $matrix && $matrix != /* ]] && matrix=$repo/$matrix
[[ -n $matrix ]] && : > "$matrix"

# Checks every line of the list before anything is built: five fields, a
# unique id, and a snippet found exactly once.
python3 - "$list" "$@" <<'PY' || exit 1
import sys
path, wanted = sys.argv[1], set(sys.argv[2:])
seen, bad = set(), 0
for number, line in enumerate(open(path, encoding="utf-8"), 1):
    if not line.strip() or line.startswith("#"):
        continue
    fields = line.rstrip("\n").split("\t")
    if len(fields) != 5:
        print(f"{path}:{number}: expected 5 tab-separated fields, found {len(fields)}"); bad += 1; continue
    ident, file, original = fields[0], fields[1], fields[2]
    if ident in seen:
        print(f"{path}:{number}: id {ident} used twice"); bad += 1
    seen.add(ident)
    try:
        count = open(file, encoding="utf-8").read().count(original)
    except OSError as error:
        print(f"{path}:{number}: {ident}: {error}"); bad += 1; continue
    if count != 1:
        print(f"{path}:{number}: {ident}: snippet found {count} times in {file}: {original}"); bad += 1
for ident in sorted(wanted - seen):
    print(f"{path}: no mutant with id {ident}"); bad += 1
sys.exit(1 if bad else 0)
PY

echo "== Copying the tree to $scratch"
mkdir -p "$scratch/src"
# Only files whose content differs are rewritten (with a new time stamp), so
# the next build recompiles just those.
python3 - "$repo" "$scratch/src" <<'PY2'
import os, sys, shutil
source, target = sys.argv[1:]
def skipped(name):
    return name.startswith("build") or name in (".git", "out")
wanted = set()
for folder, dirs, files in os.walk(source):
    relative = os.path.relpath(folder, source)
    if relative == ".":
        dirs[:] = [d for d in dirs if not skipped(d)]
    for name in files:
        path = os.path.normpath(os.path.join(relative, name))
        wanted.add(path)
        old, new = os.path.join(target, path), os.path.join(source, path)
        if os.path.exists(old) and open(old, "rb").read() == open(new, "rb").read():
            continue
        os.makedirs(os.path.dirname(old), exist_ok=True)
        shutil.copy(new, old)
for folder, dirs, files in os.walk(target):
    for name in files:
        path = os.path.normpath(os.path.relpath(os.path.join(folder, name), target))
        if path not in wanted:
            os.remove(os.path.join(target, path))
PY2
generator=()
command -v ninja > /dev/null && [[ ! -f $scratch/build/Makefile ]] && generator=(-G Ninja)
cmake -S "$scratch/src" -B "$scratch/build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g0" -DTARNVALE_TESTS=ON \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST > "$scratch/configure.log" 2>&1 ||
  { cat "$scratch/configure.log"; exit 1; }

build() { cmake --build "$scratch/build" -j"$jobs" > "$scratch/build.log" 2>&1; }
suite() {
  local stop=--stop-on-failure
  [[ -n $matrix ]] && stop=""
  ctest --test-dir "$scratch/build" -j"$jobs" $stop --timeout "$test_timeout" \
    ${MUTANT_TESTS:+-R "$MUTANT_TESTS"} > "$scratch/ctest.log" 2>&1
}
echo "== Building and testing the unchanged tree"
build || { tail -30 "$scratch/build.log"; exit 1; }
suite || { grep -E 'Failed|Timeout' "$scratch/ctest.log"; echo "the unchanged tree fails its tests"; exit 1; }

# Applies (or with "revert", undoes) one mutant in the scratch copy.
mutate() {
  python3 - "$scratch/src" "$1" "$2" "$3" <<'PY'
import sys, shutil
root, file, original, replacement = sys.argv[1:]
path = f"{root}/{file}"
shutil.copyfile(path, path + ".orig")
text = open(path, encoding="utf-8").read()
assert text.count(original) == 1, f"snippet not unique in {file}"
open(path, "w", encoding="utf-8").write(text.replace(original, replacement))
PY
}

results=$(mktemp)
current=""
# An interrupted run leaves the scratch copy as it was.
restore() {
  [[ -n $current && -f $scratch/src/$current.orig ]] && mv "$scratch/src/$current.orig" "$scratch/src/$current"
  rm -f "$results"
}
trap restore EXIT
killed=0 survived=0 broken=0
printf '%-6s %-9s %-40s %s\n' id result file description
while IFS=$'\t' read -r id file original replacement description; do
  [[ -z $id || $id == \#* ]] && continue
  if (($#)) && ! printf '%s\n' "$@" | grep -qxF "$id"; then continue; fi
  current=$file
  mutate "$file" "$original" "$replacement"
  start=$SECONDS
  if ! build; then
    result=no-build
    broken=$((broken + 1))
    cp "$scratch/build.log" "$scratch/build-$id.log"
  elif suite; then
    result=survived
    survived=$((survived + 1))
  else
    result=killed
    killed=$((killed + 1))
  fi
  if [[ -n $matrix ]]; then
    failing=""
    [[ $result == killed ]] &&
      failing=$(sed -n 's/^[[:space:]]*[0-9]*[[:space:]]*-[[:space:]]*\([^ ]*\) .*(\(Failed\|Timeout\|SEGFAULT\|Subprocess aborted\|Child aborted\|Exception\).*/\1/p' "$scratch/ctest.log" | sort | tr '\n' ' ')
    printf '%s\t%s\n' "$id" "${failing% }" >> "$matrix"
  fi
  mv "$scratch/src/$file.orig" "$scratch/src/$file"
  touch "$scratch/src/$file"
  current=""
  printf '%-6s %-9s %-40s %s (%ss)\n' "$id" "$result" "$file" "$description" $((SECONDS - start))
  printf '%s\t%s\n' "$id" "$result" >> "$results"
done < "$list"

total=$((killed + survived + broken))
echo "mutants: $total, killed: $killed, survived: $survived, did not build: $broken"
[[ -n $out ]] && cp "$results" "$out"
((broken == 0))
