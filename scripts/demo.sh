#!/usr/bin/env bash
# The demonstration: builds everything, then, in a fresh Wine prefix, installs release 1.0.0.0
# of a sample plug-in package silently with the bootstrapper, upgrades it silently to release
# 2.0.0.0 and removes it with -uninstall -silent, printing each command line, exit code,
# install log and installed version.
# Ends non-zero when a step does not give the expected result.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

started=$SECONDS
bash scripts/build.sh
built=$SECONDS
echo "Build finished in $((built - started)) s."
status=0
/usr/bin/python3 tests/wine/demo.py --build-dir build/native --win64-dir build/win64 || status=$?
echo "Demo took $((SECONDS - built)) s; build and demo $((SECONDS - started)) s in all."
exit "$status"
