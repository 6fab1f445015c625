#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh -DTARNVALE_TESTS=ON -DTARNVALE_WERROR=ON
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600
