#!/usr/bin/env bash
# Runs every test: the native unit tests, the checks of the i686 program, and the real
# x86_64 program under Wine. Builds first (which installs what is missing).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/build.sh
ctest --test-dir build/native --output-on-failure -j "$(nproc)" "$@"
