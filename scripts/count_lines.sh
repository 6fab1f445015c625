#!/usr/bin/env bash
# Counts the non-blank, non-comment lines of the C++ files (*.cpp, *.hpp)
# of the tests and of src/ and prints both numbers and their ratio. Test code
# is everything under tests/ and the fuzz targets' invariant checks
# (fuzz/checks.cpp, fuzz/checks.hpp), which the test suite replays. A line
# that holds only a // comment, or lies inside a /* ... */ block, is a comment.
#
#   bash scripts/count_lines.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# The C++ files under the folders given, and the files given by name.
count() {
  find "$@" -maxdepth 0 -type f -print0
  find "$@" -mindepth 1 -type f \( -name '*.cpp' -o -name '*.hpp' \) -print0
}
lines() {
  sort -z | xargs -0 cat | awk '
      { line = $0 }
      in_block { if (sub(/.*\*\//, "", line)) in_block = 0; else next }
      { while (match(line, /\/\*/)) {
          rest = substr(line, RSTART + 2)
          if (match(rest, /\*\//)) line = substr(line, 1, index(line, "/*") - 1) substr(rest, RSTART + 2)
          else { line = substr(line, 1, index(line, "/*") - 1); in_block = 1; break }
        } }
      line ~ /^[ \t]*(\/\/.*)?$/ { next }
      { n++ }
      END { print n + 0 }'
}

tests=$(count tests fuzz/checks.cpp fuzz/checks.hpp | lines)
src=$(count src | lines)
echo "tests/, fuzz/checks.*: $tests lines"
echo "src/:                  $src lines"
awk -v t="$tests" -v s="$src" 'BEGIN { printf "ratio:                 %.1f%%\n", 100 * t / s }'
