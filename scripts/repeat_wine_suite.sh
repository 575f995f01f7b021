#!/usr/bin/env bash
# Runs the Wine scenarios (both tiers) several times in a row at the suite's own parallelism
# and records each run (start, scenarios, failures, wall time) in docs/figures.md, section
# "(e)". A scenario that fails by chance shows here. Ends non-zero when any run failed; the
# logs stay in build/native/repeat/.
#
# Usage: scripts/repeat_wine_suite.sh [runs, default 5]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=${1:-5}

bash scripts/build.sh
logs=build/native/repeat
rm -rf "$logs"
mkdir -p "$logs"
jobs=$(nproc)
rows=""
failed_runs=0
for run in $(seq 1 "$runs"); do
  started=$(date -u '+%Y-%m-%d %H:%M UTC')
  begin=$SECONDS
  status=0
  ctest --test-dir build/native -L wine -j "$jobs" --output-on-failure >"$logs/run-$run.log" 2>&1 ||
    status=$?
  seconds=$((SECONDS - begin))
  summary=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" "$logs/run-$run.log" || true)
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  failures=$(grep -E '\*\*\*(Failed|Timeout|Not Run)' "$logs/run-$run.log" | awk '{print $4}' |
    tr '\n' ' ' || true)
  [ "$status" -eq 0 ] || failed_runs=$((failed_runs + 1))
  echo "run $run: $summary ($seconds s) ${failures}"
  rows+="| $run | $started | ${total:-?} | ${failures:-none} | $seconds s |"$'\n'
done

python3 - docs/figures.md "$runs" "$jobs" "$(nproc)" <<EOF
import sys
from pathlib import Path
target, runs, jobs, cpus = Path(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
text = target.read_text(encoding="utf-8")
head = text.split("\n## (e) ")[0].rstrip("\n")
section = f"""

## (e) The Wine scenarios, run again and again

Written by \`scripts/repeat_wine_suite.sh {runs}\`: the Wine scenarios of both tiers (label
\`wine\`, with the base-prefix and release fixtures) run {runs} times in a row, {jobs} at a time
on {cpus} processors, as the test command runs them. A scenario that failed is named.

| run | started | tests | failed | wall time |
|---|---|---|---|---|
${rows}"""
target.write_text(head + section, encoding="utf-8")
EOF
echo "recorded in docs/figures.md; logs in $logs"
[ "$failed_runs" -eq 0 ]
