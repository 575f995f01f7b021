#!/usr/bin/python3
"""Runs Wine scenarios by name ("test_driver.test_help_box"), each in its own session, or
makes the base prefix that they copy. See harness.py for running one by hand."""

from __future__ import annotations

import argparse
import importlib
import signal
import sys
import time
import traceback
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(HERE))

from harness import WineSession  # noqa: E402
from wine_env import (Config, make_base_prefix,  # noqa: E402
                      start_wine_without_address_randomization)

REPOSITORY = HERE.parent.parent


def scenario_names() -> list[str]:
    names = []
    for module_path in sorted(HERE.glob("test_*.py")):
        module = importlib.import_module(module_path.stem)
        names += [f"{module_path.stem}.{name}" for name in vars(module)
                  if name.startswith("test_") and callable(getattr(module, name))]
    return names


def run_one(config: Config, name: str) -> bool:
    module_name, _, function_name = name.partition(".")
    scenario = getattr(importlib.import_module(module_name), function_name)
    print(f"=== {name}: {(scenario.__doc__ or '').strip()}")
    started = time.monotonic()
    try:
        build = getattr(importlib.import_module(module_name), "BUILD", "x86_64")
        with WineSession(config, function_name, build) as session:
            scenario(session)
    except AssertionError as failure:
        print(f"FAILED {name} after {time.monotonic() - started:.2f} s:\n{failure}")
        return False
    except Exception as error:  # noqa: BLE001 - any fault of the harness fails the scenario
        traceback.print_exc()
        print(f"ERROR {name}: the harness could not run it: {error}")
        return False
    print(f"PASSED {name} in {time.monotonic() - started:.2f} s")
    return True


def main() -> int:
    # ctest ends a test that runs too long with SIGTERM: leave through the sessions' clean-up.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    start_wine_without_address_randomization()
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", type=Path, default=REPOSITORY / "build" / "native")
    parser.add_argument("--win64-dir", type=Path, default=REPOSITORY / "build" / "win64")
    parser.add_argument("--win32-dir", type=Path, default=REPOSITORY / "build" / "win32")
    parser.add_argument("--make-base", action="store_true", help="make the base prefix")
    parser.add_argument("--list", action="store_true", help="name every scenario")
    parser.add_argument("scenarios", nargs="*", help="module.function names")
    options = parser.parse_args()
    config = Config(build_dir=options.build_dir.resolve(), win64_dir=options.win64_dir.resolve(),
                    win32_dir=options.win32_dir.resolve())
    if options.list:
        print("\n".join(scenario_names()))
        return 0
    if options.make_base:
        seconds = make_base_prefix(config)
        print(f"base prefix {config.base_prefix} ready ({seconds:.2f} s)")
    results = [run_one(config, name) for name in options.scenarios]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
