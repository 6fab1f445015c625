#!/usr/bin/env bash
# Installs what is missing, builds, and runs tarnvale on the bundled STRING
# example. The reports land in out/stringA and out/stringB.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh -DTARNVALE_TESTS=OFF
mkdir -p out
./build/tarnvale -d examples/string/pvalues.txt -a examples/string/association.txt \
  --seed 2026 "$@" examples/string/network.sif out/string > out/string.log
tail -n 40 out/string.log
echo
echo "Full log: out/string.log; reports: out/stringA, out/stringB"
echo "First group of the first run:"
head -n 12 out/stringA
