#!/usr/bin/env bash
# Fails, naming the files, when a committed C++ file (*.cpp, *.hpp) is not
# laid out as clang-format 14 (Debian's clang-format-14) lays it out with
# the committed .clang-format. `clang-format-14 -i FILE...` fixes them.
#
#   bash scripts/check_format.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh clang-format-14

mapfile -d '' files < <(git ls-files -z '*.cpp' '*.hpp')
status=0
report=$(clang-format-14 --dry-run -Werror "${files[@]}" 2>&1) || status=$?
mapfile -t unformatted < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' <<<"$report" | sort -u)
if ((${#unformatted[@]})); then
  echo "Not formatted with clang-format 14 and .clang-format (${#unformatted[@]} of ${#files[@]} files):"
  printf '  %s\n' "${unformatted[@]}"
  echo "Fix them with: clang-format-14 -i ${unformatted[*]}"
  exit 1
fi
if ((status != 0)); then
  echo "$report"
  echo "clang-format-14 failed with status $status"
  exit 1
fi
echo "clang-format: all ${#files[@]} C++ files formatted"
