#!/usr/bin/env bash
# Runs the Wine scenarios (both tiers) several times in a row at the suite's own parallelism
# and adds each run (start, load, scenarios, failures, wall time) to the table of section
# "(e)" in docs/figures.md. A scenario that fails by chance shows here; its flight record
# (named in the run's log) stays in build/native/wine/flight/, the logs in
# build/native/repeat/<start>/. With --load, a compile loop keeps one processor busy beside
# the suite, as the rest of a CI run does. Ends non-zero when any run failed.
#
# Usage: scripts/repeat_wine_suite.sh [runs, default 5] [--load]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=5
load=no
for argument in "$@"; do
  case "$argument" in
    --load) load=yes ;;
    *) runs=$argument ;;
  esac
done

bash scripts/build.sh
logs=build/native/repeat/$(date -u '+%Y%m%d-%H%M%S')
mkdir -p "$logs"
jobs=$(nproc)
loader=""
if [ "$load" = yes ]; then
  (while :; do
    g++ -std=c++17 -O2 -Isrc -Itests -c tests/support/simulated_windows.cpp -o /dev/null
  done) >/dev/null 2>&1 &
  loader=$!
  trap 'kill "$loader" 2>/dev/null || true' EXIT
fi

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
  cause=$([ -n "$failures" ] && echo "see below" || echo "-")
  echo "| $started | x86_64 + WoW64 | $load | ${total:-?} | ${failures:-none} | $seconds s | $cause |" \
    >>docs/figures.md
done
echo "recorded in docs/figures.md; logs in $logs"
[ "$failed_runs" -eq 0 ]
