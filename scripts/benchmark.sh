#!/usr/bin/env bash
# Measures the program's figures and writes them to docs/figures.md:
#  (a) what the x86_64 bootstrapper adds to a fresh install under Wine: "-silent" against a
#      bare msiexec with the same command line, side by side in one hyperfine run, each
#      timed run after an uninstall (hyperfine --prepare, not timed), and where its own time
#      goes (a Wine process, the bootstrapper with no package, with nothing to do);
#  (b) the same with a package of about 20 MB (random bytes, made here, never kept);
#  (c) peak memory of the bootstrapper process: PeakWorkingSetSize through
#      GetProcessMemoryInfo (run_exit.exe --memory), and GNU time's maximum RSS of the
#      wine64 process for comparison;
#  (d) the size of the stripped i686 program and the DLLs it imports;
#  (f) the bootstrapper against the floor (tests/wine/tools/floor.c: a window, msi.dll, two
#      package opens, then the same msiexec command line), for the x86_64 build under wine64
#      and for the shipped i686 build as a WoW64 process (qemu), the program's own log on;
#  (g) what a release's check costs: the same -csp run with the 20 MB package and a csp
#      folder of 50 MB, by a release build (its manifest lists them: every file is hashed,
#      the csp folder copied into the release's protected folder) and by a developer's build;
#  (h) the fault sweep's line: whole runs with each Windows call failing in turn.
# Takes about five minutes. Usage: scripts/benchmark.sh [--no-build] [--runs N] [--wow64-runs N]
set -euo pipefail
# Wine as the tests start it, without address-space randomization (CONTRIBUTING.md: a heap
# placed over the shared user data page ends a Wine process at its start).
if [ "$(cat /proc/self/personality)" = 00000000 ]; then
  exec setarch "$(uname -m)" -R bash "$0" "$@"
fi
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=true
runs=20
wow64_runs=5
while [ $# -gt 0 ]; do
  case $1 in
    --no-build) build=false ;;
    --runs) runs=$2; shift ;;
    --wow64-runs) wow64_runs=$2; shift ;;
    *) echo "usage: $0 [--no-build] [--runs N] [--wow64-runs N]" >&2; exit 2 ;;
  esac
  shift
done
large_runs=$(( (runs + 1) / 2 ))

$build && bash scripts/build.sh
python3 tests/wine/run_scenario.py --make-base >/dev/null

export WINE=/usr/lib/wine/wine64 WINE32=/usr/lib/wine/wine
wineserver=/usr/lib/wine/wineserver
work=$(mktemp -d /tmp/bootstrapper-bench.XXXXXX)
export WORK=$work
xvfb_pid=""
cleanup() {
  if [ -d "$work/prefix" ]; then
    "$wineserver" -k 2>/dev/null || true
    timeout 30 "$wineserver" -w 2>/dev/null || true
  fi
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# --- a prefix of its own, a display, a running wineserver ------------------------------
cp -a build/native/wine/base "$work/prefix"
export WINEPREFIX=$work/prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
export QEMU_RESERVED_VA=0xffff0000  # for any 32-bit Wine process of the prefix
export LOCPATH=$root/build/native/wine/locales LC_ALL=en_US.UTF-8
unset LANG LANGUAGE
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
"$wineserver" -p
"$WINE" reg query 'HKCU\Software\Wine' >/dev/null  # starts the prefix's services
tmp=$("$WINE" cmd /c 'echo %TMP%' | tr -d '\r')

# --- the packages and the programs ------------------------------------------------------
drive=$WINEPREFIX/drive_c/bench
mkdir -p "$drive/tools" "$drive/empty" "$drive/wow64"
cp build/win64/wine-tools/run_exit.exe build/win64/wine-tools/msi_query.exe "$drive/tools"
export CODE
CODE=$(python3 - "$drive" "$root" <<'EOF'
import sys
from pathlib import Path
sys.dont_write_bytecode = True
drive, root = Path(sys.argv[1]), Path(sys.argv[2])
sys.path.insert(0, str(root / "tests" / "wine"))
from packages import PRODUCT_CODE, PluginPackage, build_package
tools = root / "build" / "win64" / "wine-tools"
for size, payload in (("small", 0), ("large", 20 * 1024 * 1024)):
    package = PluginPackage(file_name="quorlcom-win32.msi", payload_size=payload)
    build_package(package, drive / size, tools)
# A WoW64 process takes the x64 package; the same product.
build_package(PluginPackage(file_name="quorlcom-x64.msi"), drive / "wow64", tools)
print(PRODUCT_CODE)
EOF
)
for folder in small large empty; do
  rm -rf "$drive/$folder/quorlcom-win32.msi.src"
  cp build/win64/bootstrapper.exe "$drive/$folder/"
done
cp build/win64/wine-tools/floor.exe "$drive/small/"
rm -rf "$drive/wow64/quorlcom-x64.msi.src"
cp build/win32/bootstrapper.exe build/win32/wine-tools/floor.exe "$drive/wow64/"

# Before each timed run: the previous run of the same series must have installed the
# product (so that no run silently did nothing), and the product is removed again.
cat >"$work/prepare.sh" <<'EOF'
set -euo pipefail
state() {
  "$WINE" 'C:\bench\tools\msi_query.exe' product "$CODE" | tr -d '\r' |
    awk '$3 == "state" {print $4}'
}
if [ -e "$WORK/ran-$1" ] && [ "$(state)" != 5 ]; then
  echo "the last $1 run did not install the product" >&2
  exit 1
fi
touch "$WORK/ran-$1"
"$WINE" msiexec /x "$CODE" /qn || true
[ "$(state)" != 5 ] || { echo "the product stayed installed" >&2; exit 1; }
EOF

bootstrapper_command() {  # folder
  echo "\"\$WINE\" 'C:\\bench\\$1\\bootstrapper.exe' -silent -QuorlArgs /qn"
}
# What the bootstrapper starts, with /qn from -QuorlArgs: log, REBOOT=R, ADDNPQUORL=1, /qn.
msiexec_arguments() {  # size
  echo "/i 'C:\\bench\\$1\\quorlcom-win32.msi' /Lv! '$tmp\\bare-$1.log' REBOOT=R ADDNPQUORL=1 /qn"
}

compare() {  # size, runs
  hyperfine --warmup 1 --runs "$2" --time-unit millisecond \
    --prepare "bash $work/prepare.sh $1" --prepare "bash $work/prepare.sh $1" \
    -n "bootstrapper -silent ($1)" -n "msiexec /i /qn ($1)" \
    --export-json "$work/$1.json" --export-markdown "$work/$1.md" \
    "$(bootstrapper_command "$1")" "\"\$WINE\" msiexec $(msiexec_arguments "$1")"
  bash "$work/prepare.sh" "$1"  # checks the last run, too
}
started=$(date +%s)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
compare small "$runs"
compare large "$large_runs"

# The bootstrapper against the floor: the same msiexec command line after the least that a
# bootstrapper of this design does before it. The bootstrapper's own log is on (TMP is set).
against_floor() {  # name, runs, loader variable, folder, package
  local program="\"\$$3\" 'C:\\bench\\$4"
  hyperfine --warmup 1 --runs "$2" --time-unit millisecond \
    --prepare "bash $work/prepare.sh $1" --prepare "bash $work/prepare.sh $1" \
    -n "bootstrapper -silent ($1)" -n "floor ($1)" \
    --export-json "$work/floor-$1.json" --export-markdown "$work/floor-$1.md" \
    "$program\\bootstrapper.exe' -silent -QuorlArgs /qn" \
    "$program\\floor.exe' 'C:\\bench\\$4\\$5' '$tmp\\floor-$1.log'"
  bash "$work/prepare.sh" "$1"
}
against_floor x86_64 "$runs" WINE small quorlcom-win32.msi
against_floor i686 "$wow64_runs" WINE32 wow64 quorlcom-x64.msi

# Where the bootstrapper's own time goes: a Wine process that does nothing (run_exit.exe
# without arguments, exit 1), the bootstrapper with no package (window, msi.dll, searches;
# exit 232), and with the same version installed (three package opens, no msiexec; exit 0).
"$WINE" msiexec /i 'C:\bench\small\quorlcom-win32.msi' /qn
hyperfine --warmup 1 --runs "$runs" --time-unit millisecond --ignore-failure \
  -n "a Wine process" -n "bootstrapper, no package" -n "bootstrapper, nothing to do" \
  --export-json "$work/parts.json" --export-markdown "$work/parts.md" \
  "\"\$WINE\" 'C:\\bench\\tools\\run_exit.exe'" "$(bootstrapper_command empty)" \
  "$(bootstrapper_command small)"
rm -f "$work"/ran-*

# --- the msiexec command line that the bootstrapper starts --------------------------------
bash "$work/prepare.sh" trace
WINEDEBUG=+process "$WINE" 'C:\bench\small\bootstrapper.exe' -silent -QuorlArgs /qn \
  2>"$work/trace.txt"

# --- peak memory ------------------------------------------------------------------------
measure_memory() {  # output name, command line
  bash "$work/prepare.sh" memory
  printf '%s\n' "$2" >"$drive/cmd-$1.txt"
  "$WINE" 'C:\bench\tools\run_exit.exe' --cmdfile "C:\\bench\\cmd-$1.txt" \
    --memory "C:\\bench\\memory-$1.txt" >/dev/null
}
for size in small large; do
  measure_memory "bootstrapper-$size" \
    "\"C:\\bench\\$size\\bootstrapper.exe\" -silent -QuorlArgs /qn"
  measure_memory "msiexec-$size" \
    "\"C:\\windows\\system32\\msiexec.exe\" $(msiexec_arguments "$size" | tr "'" '"')"
  bash "$work/prepare.sh" memory
  /usr/bin/time -f %M -o "$work/time-rss-$size.txt" \
    "$WINE" "C:\\bench\\$size\\bootstrapper.exe" -silent -QuorlArgs /qn
done
bash "$work/prepare.sh" memory

# --- (g) the release's check and the CSP's copy -------------------------------------------
for build in developer release; do
  mkdir -p "$drive/$build/csp"
  cp "$drive/large/quorlcom-win32.msi" "$drive/$build/"
  cp build/win64/wine-tools/fake_setup.exe "$drive/$build/csp/Setup.exe"
done
for part in 1 2 3 4 5; do
  head -c $((10 * 1024 * 1024)) /dev/urandom >"$drive/developer/csp/data$part.cab"
  cp "$drive/developer/csp/data$part.cab" "$drive/release/csp/"
done
(cd "$drive/release" && find . -type f | sed 's|^\./||' | sort | xargs sha256sum |
  sed 's|/|\\|g') >"$work/release-manifest.txt"
cmake -S . -B "$work/release-build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake \
  -DBOOT_RELEASE_MANIFEST="$work/release-manifest.txt" >/dev/null
cmake --build "$work/release-build" --target bootstrapper >/dev/null
cp build/win64/bootstrapper.exe "$drive/developer/"
cp "$work/release-build/bootstrapper.exe" "$drive/release/"
check_command() {  # build
  echo "\"\$WINE\" 'C:\\bench\\$1\\bootstrapper.exe' -csp -silent -QuorlArgs /qn -CSPArgs /qn"
}
# The first run of a release on a machine copies the csp folder; the copy's record and folder
# removed make every run a first one.
cat >"$work/forget-copy.sh" <<'EOF'
"$WINE" reg delete 'HKLM\SOFTWARE\WOW6432Node\StalverBrowserPluginBootstrapper' /f >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"/drive_c/ProgramData/StalverBootstrapper.*
EOF
hyperfine --warmup 1 --runs "$large_runs" --time-unit millisecond \
  --prepare "bash $work/prepare.sh developer" --prepare "bash $work/prepare.sh release" \
  --prepare "bash $work/prepare.sh first && bash $work/forget-copy.sh" \
  -n "developer's build (-csp)" -n "release build (-csp)" -n "release build, first run (-csp)" \
  --export-json "$work/check.json" --export-markdown "$work/check.md" \
  "$(check_command developer)" "$(check_command release)" "$(check_command release)"
bash "$work/prepare.sh" first
# The program's own log times its check: from the manifest's line to the start of Setup.exe.
# Wine's process start-up, far noisier than the check itself, is not in that span.
for run in later first; do
  [ "$run" = later ] || bash "$work/forget-copy.sh"
  bash "$work/prepare.sh" "own-$run"
  touch "$work/mark-$run"
  "$WINE" 'C:\bench\release\bootstrapper.exe' -csp -silent -QuorlArgs /qn -CSPArgs /qn
  find "$WINEPREFIX/drive_c" -name 'bootstrapper_*.log' -newer "$work/mark-$run" \
    -exec cp {} "$work/own-$run.log" \;
  bash "$work/prepare.sh" "own-$run"
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
finished=$(date +%s)

# --- the shipped i686 program -----------------------------------------------------------
i686-w64-mingw32-strip -o "$work/stripped.exe" build/win32/bootstrapper.exe
i686-w64-mingw32-objdump -p "$work/stripped.exe" >"$work/imports.txt"

# --- the report ---------------------------------------------------------------------------
{
  echo "date=$(date '+%Y-%m-%d %H:%M %Z')"
  echo "nproc=$(nproc)"
  echo "cpu=$(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo)"
  echo "memory=$(awk '/^MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)"
  echo "kernel=$(uname -r)"
  echo "load=$load_before at the start, $load_after at the end"
  echo "wine=$("$WINE" --version)"
  echo "sha_extensions=$(openssl speed -evp sha256 -bytes 65536 -seconds 1 2>/dev/null |
    awk '$1 == "sha256" {printf "%.0f", $2 / 1e3}')"
  echo "hyperfine=$(hyperfine --version)"
  echo "wixl=$(wixl --version)"
  echo "gcc=$(i686-w64-mingw32-g++ --version | head -1)"
  echo "time=GNU time $(dpkg-query -W -f='${Version}' time)"
  echo "seconds=$((finished - started))"
  echo "shipped_size=$(stat -c %s build/win32/bootstrapper.exe)"
  echo "stripped_size=$(stat -c %s "$work/stripped.exe")"
  echo "small_package=$(stat -c %s "$drive/small/quorlcom-win32.msi")"
  echo "large_package=$(stat -c %s "$drive/large/quorlcom-win32.msi")"
  echo "bare_command=msiexec $(msiexec_arguments small | tr "'" '"')"
  echo "sweep=$(build/native/unit_tests --gtest_filter='FaultSweepTest.*' | grep '^fault sweep:')"
} >"$work/facts.txt"
mkdir -p docs
python3 - "$work" docs/figures.md "$runs" "$large_runs" "$root/tests/wine" "$wow64_runs" <<'EOF'
import json
import math
import re
import sys
from pathlib import Path

work, target, runs, large_runs = Path(sys.argv[1]), Path(sys.argv[2]), sys.argv[3], sys.argv[4]
wow64_runs = sys.argv[6]
sys.dont_write_bytecode = True
sys.path.insert(0, sys.argv[5])
from run_result import parse_process_trace  # noqa: E402

facts = dict(line.split("=", 1) for line in (work / "facts.txt").read_text().splitlines())
# Section (e) belongs to scripts/repeat_wine_suite.sh: kept as it is.
previous = target.read_text(encoding="utf-8") if target.exists() else ""
kept = "\n## (e) " + previous.split("\n## (e) ", 1)[1] if "\n## (e) " in previous else ""
drive = work / "prefix" / "drive_c" / "bench"
MIB = 1024 * 1024


def results(name):
    return json.loads((work / f"{name}.json").read_text())["results"]


def expect_exit_codes(result, code):
    if set(result["exit_codes"]) != {code}:
        sys.exit(f"{result['command']}: exit codes {result['exit_codes']}, expected {code}")


def side_by_side(name, label):
    """A table row of the bootstrapper against the other command of the series `name`, and
    the ratio of their means."""
    boot, other = results(name)
    for result in (boot, other):
        expect_exit_codes(result, 0)
    ratio = boot["mean"] / other["mean"]
    spread = ratio * math.hypot(boot["stddev"] / boot["mean"], other["stddev"] / other["mean"])
    row = (f"| {label} | {boot['mean'] * 1000:.0f} ± {boot['stddev'] * 1000:.0f} "
           f"| {other['mean'] * 1000:.0f} ± {other['stddev'] * 1000:.0f} "
           f"| {(boot['mean'] - other['mean']) * 1000:+.0f} | {ratio:.2f} ± {spread:.2f} "
           f"| {boot['min'] / other['min']:.2f} |")
    return row, ratio, spread, (work / f"{name}.md").read_text().strip()


def timing(size):
    row, _, _, table = side_by_side(size,
                                    f"{size} ({int(facts[size + '_package']) / MIB:.2f} MiB)")
    return row, table


def against_floor(build):
    """The row with its verdict: the goal counts as met or missed only when the ratio is
    more than one standard deviation away from it."""
    row, ratio, spread, table = side_by_side(f"floor-{build}", build)
    verdict = ("met" if ratio + spread <= 1.05 else "not met" if ratio - spread > 1.05
               else f"not decided: {ratio:.2f} ± {spread:.2f} takes in 1.05")
    return row + f" {verdict} |", table


def parts():
    process, empty, idle = results("parts")
    for result, code in ((process, 1), (empty, 232), (idle, 0)):
        expect_exit_codes(result, code)
    means = [round(result["mean"] * 1000) for result in (process, empty, idle)]
    return (work / "parts.md").read_text().strip(), means


def memory(name):
    text = (drive / f"memory-{name}.txt").read_text(encoding="utf-8")
    return {key: int(value) for key, value in re.findall(r"(\S+) (\d+)", text)}


def imports():
    found = {}
    text = (work / "imports.txt").read_text()
    for block in re.split(r"\n\s*DLL Name: ", text)[1:]:
        name, _, rest = block.partition("\n")
        found[name.strip()] = re.findall(r"^\s+[0-9a-f]+\s+\d+\s+(\S+)",
                                         rest.split("\n\n")[0], re.M)
    return found


def started_msiexec():
    lines = [line for line in parse_process_trace(work / "trace.txt") if "msiexec" in line]
    if len(lines) != 1:
        sys.exit(f"expected one msiexec in the trace, found {lines}")
    return lines[0]


small_row, small_table = timing("small")
large_row, large_table = timing("large")
parts_table, (process_ms, empty_ms, idle_ms) = parts()
bare_small_ms = round(results("small")[1]["mean"] * 1000)
difference_ms = {size: round((results(size)[0]["mean"] - results(size)[1]["mean"]) * 1000)
                 for size in ("small", "large")}
floor_rows, floor_tables = zip(*(against_floor(build) for build in ("x86_64", "i686")))
floor_tables_text = "\n\n".join(floor_tables)
memory_rows = []
for size in ("small", "large"):
    boot, bare = memory(f"bootstrapper-{size}"), memory(f"msiexec-{size}")
    rss = int((work / f"time-rss-{size}.txt").read_text().split()[-1]) * 1024
    memory_rows.append(
        f"| {size} | {boot['peak-working-set'] / MIB:.1f} MiB ({boot['samples']} samples) "
        f"| {boot['peak-pagefile'] / MIB:.1f} MiB | {bare['peak-working-set'] / MIB:.1f} MiB "
        f"| {rss / MIB:.1f} MiB |")
developer_check, release_check, first_check = results("check")
for result in (developer_check, release_check, first_check):
    expect_exit_codes(result, 0)
check_ms = (release_check["mean"] - developer_check["mean"]) * 1000
check_share = check_ms / (developer_check["mean"] * 1000)
first_ms = (first_check["mean"] - developer_check["mean"]) * 1000
first_share = first_ms / (developer_check["mean"] * 1000)
def own_check_ms(run):
    """Milliseconds from the manifest's line to the start of Setup.exe in the run's log."""
    times = {}
    for line in (work / f"own-{run}.log").read_text(encoding="utf-8-sig").splitlines():
        elapsed, _, text = line.partition(" ")
        for key, start in (("manifest", "release manifest:"), ("setup", "starting: csp\\")):
            if text.startswith(start):
                times.setdefault(key, int(elapsed))
    return times["setup"] - times["manifest"]
own_later, own_first = own_check_ms("later"), own_check_ms("first")
package_mib = int(facts["large_package"]) / MIB
stripped, shipped = int(facts["stripped_size"]), int(facts["shipped_size"])
stripped_note = " (the build is stripped already)" if stripped == shipped else ""
import_rows = [f"| {name} | {len(functions)} | {', '.join(functions)} |"
               for name, functions in imports().items()]
nl = "\n"
target.write_text(f"""# Figures

Measured by `scripts/benchmark.sh` on {facts['date']}; the measuring took {facts['seconds']} s.
Run it again to refresh this file. The numbers hold for this machine and Wine only; Windows
itself was not measured.

## Machine and tools

- {facts['nproc']} processors (`nproc`), {facts['cpu']}, {facts['memory']} of memory,
  Linux {facts['kernel']}; load average {facts['load']} (other work shared the machine)
- {facts['wine']} (measured: the x86_64 build under wine64, and in (f) also the shipped i686
  build as a WoW64 process: 32-bit Wine under qemu-user)
- {facts['hyperfine']}; wixl {facts['wixl']}; {facts['gcc']}; {facts['time']}

## (a, b) What the bootstrapper adds to a fresh install

Each command ran {runs} times with the small package and {large_runs} times with the large one,
after one warm-up run, in one prefix with a running wineserver and Xvfb. Before every run
the product was uninstalled (`msiexec /x`, not timed), and the run before it was checked to
have installed it. Both sides run the same msiexec command line; the bootstrapper gets `/qn`
through `-silent -QuorlArgs /qn`, since `-silent` alone makes it pass `/qb` (a progress
window). The large package carries 20 MiB of random bytes, made by the run and not kept.

- started by the bootstrapper (Wine's process trace):
  `{started_msiexec()}`
- started bare: `{facts['bare_command']}`

| package | bootstrapper -silent, ms | msiexec /i /qn, ms | difference of means, ms | ratio of means | ratio of fastest runs |
|---|---|---|---|---|---|
{small_row}
{large_row}

Ratio of means: mean of the bootstrapper runs over the mean of the msiexec runs; ± is one
standard deviation (for the ratio, propagated from both). The fastest runs are the least
disturbed by other work on the machine. hyperfine's own tables:

{small_table}

{large_table}

Where the bootstrapper's own time goes (exit codes checked: 1, 232 and 0):

{parts_table}

What limits these figures:

- Under Wine a fresh install of a small package takes about {bare_small_ms} ms, so the
  bootstrapper's fixed cost weighs heavily: a Wine process that does nothing costs
  {process_ms} ms here, the bootstrapper with no package at all {empty_ms} ms, and with
  nothing to do (same version installed: three package opens, no msiexec) {idle_ms} ms. That
  cost is one more Wine process with a window of its own (user32 and the X11 driver) and
  msi.dll, which in Wine drags in ole32, rpcrt4, urlmon, wininet and crypt32 with their
  Linux libraries; msiexec pays the same once more.
  Any bootstrapper that opens the package before msiexec pays most of it, which is why the
  cost is measured against the floor in (f) rather than against a bare msiexec; on Windows,
  where loading msi.dll is cheap and a real plug-in takes seconds to install, the same fixed
  cost would weigh far less (not measured).
- The product codes come from opening the package twice (`MsiOpenPackageExW` for the
  upgrade code and for the product code), and Wine's open copies the whole package into
  `C:\\windows\\Installer` (seen in a backtrace of that function). With the packages here
  that hardly shows: the bootstrapper added {difference_ms['small']} ms to the small package
  and {difference_ms['large']} ms to the large one.
- Wine's process start-up and the load of a shared two-processor machine make single runs
  vary by tens of percent; the few runs that keep this script within minutes leave the
  ratios uncertain to about the ± shown.

## (f) The bootstrapper against the floor

The floor (`tests/wine/tools/floor.c`, built for each architecture) does the least that a
bootstrapper of this design does before msiexec: a hidden window, msi.dll from the system
folder, the package opened twice with `MsiOpenPackageExW` (its UpgradeCode read from the
first open, its ProductCode from the second), then msiexec with the bootstrapper's command
line (`/i`, a verbose log, `REBOOT=R  ADDNPQUORL=1 /qn`), waited for. The bootstrapper runs
`-silent -QuorlArgs /qn` with its own log on (TMP is set), on the small package. x86_64: both
under wine64, {runs} runs each. i686: the shipped program and the floor built for i686, both
as WoW64 processes (32-bit Wine under qemu-user, which takes the x64 package), {wow64_runs}
runs each after one warm-up: emulated code is slow, so fewer runs. The product is
uninstalled before every run and each run is checked to have installed it, as in (a).
The verdict counts the goal as met or missed only when the ratio of means lies more than
its standard deviation away from 1.05; on a machine shared with other work (see the load
average above) single runs spread far more than the 5 % the goal allows, and the fastest
runs are then the better guide.

| build | bootstrapper -silent, ms | floor, ms | difference of means, ms | ratio of means | ratio of fastest runs | goal ratio <= 1.05 |
|---|---|---|---|---|---|---|
{nl.join(floor_rows)}

hyperfine's own tables:

{floor_tables_text}

## (c) Peak memory of the bootstrapper

| package | bootstrapper PeakWorkingSetSize | its PeakPagefileUsage | msiexec PeakWorkingSetSize | GNU time max RSS of the bootstrapper's wine64 |
|---|---|---|---|---|
{nl.join(memory_rows)}

PeakWorkingSetSize and PeakPagefileUsage come from `GetProcessMemoryInfo`, asked by
`run_exit.exe --memory` every 2 ms while the process ran (an ended process has no counters
left, so a peak in its last 2 ms would be missed). Under Wine the working set is the Linux
process's resident set, and nearly all of it is Wine's own DLLs and their Linux libraries
(ntdll, kernelbase, user32 with the X11 driver, msi and what it loads); on Windows the
figure would be far smaller. GNU time (`/usr/bin/time -f %M`) measures the wine64 process
that became the bootstrapper; it is a figure over the waited-for process tree and may take
in msiexec as well, so the Windows-side counter is the one to go by.

## (g) What a release's check costs

The same `-csp -silent -QuorlArgs /qn -CSPArgs /qn` run, {large_runs} times each after one
warm-up, with the large package (20 MiB) and a `csp` folder of 50 MiB (the test `Setup.exe`
and five files of 10 MiB of random bytes), by a developer's build of the x86_64 program and by
a release build of it whose manifest lists those files: it hashes the package where it lies
and runs `Setup.exe` from its protected copy under `C:\\ProgramData`. The first run of the
release on a machine makes that copy, hashing what it writes; a later run takes the files
the recorded copy holds as they are. The third row makes every run a first one (the copy and
its record removed before each run, not timed). The plug-in is uninstalled before every
run, as in (a).

{(work / "check.md").read_text().strip()}

By these means a run of the release adds {check_ms:.0f} ms, {check_share:.1%} of the developer's
build's run, and its first run on a machine, which copies the 50 MiB, {first_ms:.0f} ms,
{first_share:.1%}; the spread of Wine's process start-up is of the same size. The program's
own log times the check alone, from the manifest's line to the start of `Setup.exe`, in one
more run of each kind: {own_later} ms in a later run (the package's {package_mib:.0f} MiB
hashed), {own_first} ms in a first run (the package hashed, the `csp` folder copied
and hashed). Against the developer's run that is {own_later / (developer_check["mean"] * 1000):.1%}
and {own_first / (developer_check["mean"] * 1000):.1%}; goal at most 10 %:
{'met' if own_later <= 0.10 * developer_check["mean"] * 1000 else 'not met'} for a later run,
{'met' if own_first <= 0.10 * developer_check["mean"] * 1000 else 'not met'} for a first.

Nearly all of it is SHA-256, which Wine's bcrypt computes at about
{int(facts["large_package"]) / 1e6 / max(own_later, 1) * 1000:.0f} MB/s here (the
package's bytes over the later run's span). Windows' CNG uses the processor's SHA extensions where it has them; this one has
them, and OpenSSL hashes {facts["sha_extensions"]} MB/s with them here: at that rate the
package's hash would take about {int(facts["large_package"]) / 1e6 / float(facts["sha_extensions"]) * 1000:.0f} ms.
That is an estimate, not a measurement on Windows.

## (h) Every Windows call failing in turn

`FaultSweepTest` (unit tier, `tests/unit/fault_sweep_test.cpp`) runs a silent fresh install, a
silent upgrade, a silent install with the CSP, a release with its manifest and the CSP, and a
run nobody sees with a restart pending, each again with every call to Windows that can fail
failing in turn, as that call fails; no run may end with a success for what it did not do,
show a box, lose the pending restart, leave a handle open, or end for a failure its log does
not name:

    {facts['sweep']}

## (d) The shipped i686 program

- `build/win32/bootstrapper.exe` as built: {shipped:,} bytes; stripped
  (`i686-w64-mingw32-strip`): {stripped:,} bytes = {stripped / 1024:.1f} KiB{stripped_note};
  goal <= 128 KiB: {'met' if stripped <= 128 * 1024 else 'not met'}.
- Imported DLLs (none delay-loaded; msi.dll is loaded at run time, from the system folder
  only):

| DLL | functions | names |
|---|---|---|
{nl.join(import_rows)}
""" + kept, encoding="utf-8")
print(f"wrote {target}")
EOF
