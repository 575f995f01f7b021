#!/usr/bin/env bash
# Runs every test: the native unit tests (plain, then under AddressSanitizer and UBSan with
# bounded fuzzing runs), the checks of both PE builds, and the real x86_64 program under
# Wine. Builds first, which installs what is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/build.sh --sanitize
ctest --test-dir build/sanitize --output-on-failure -j "$(nproc)"
ctest --test-dir build/native --output-on-failure -j "$(nproc)" "$@"
