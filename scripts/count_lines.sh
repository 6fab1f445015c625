#!/usr/bin/env bash
# Counts the non-blank, non-comment lines of the C++ files (*.cpp, *.hpp)
# under tests/ and src/ and prints both numbers and their ratio. A line that
# holds only a // comment, or lies inside a /* ... */ block, is a comment.
#
#   bash scripts/count_lines.sh
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  find "$1" -type f \( -name '*.cpp' -o -name '*.hpp' \) -print0 | sort -z |
    xargs -0 cat | awk '
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

tests=$(count tests)
src=$(count src)
echo "tests/: $tests lines"
echo "src/:   $src lines"
awk -v t="$tests" -v s="$src" 'BEGIN { printf "ratio:  %.1f%%\n", 100 * t / s }'
