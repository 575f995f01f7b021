"""Where things are, and what every Wine process of the tests shares: the environment, the
compiled locales and the base prefix that each scenario copies."""

from __future__ import annotations

import ctypes
import dataclasses
import fcntl
import os
import shutil
import subprocess
import time
from pathlib import Path

from flight_recorder import RELAY_INCLUDE

WINE = "/usr/lib/wine/wine64"
WINE32 = "/usr/lib/wine/wine"
QEMU_RESERVED_VA = "0xffff0000"
WINESERVER = "/usr/lib/wine/wineserver"
# Bump when the base prefix's contents change, so that cached bases are made again.
BASE_LAYOUT = "3"
LOCALES = {"ru": "ru_RU.UTF-8", "en": "en_US.UTF-8"}


# The two builds of the program: the x86_64 one runs natively under wine64; the i686 one,
# the shipped program, runs as a WoW64 process through 32-bit Wine under qemu-i386.
BUILDS = ("x86_64", "i686")


@dataclasses.dataclass(frozen=True)
class Config:
    """Where the builds are. build_dir is the native build tree (the cache lives there);
    the test tools are x86_64 programs and drive either build."""

    build_dir: Path
    win64_dir: Path
    win32_dir: Path

    @property
    def cache_dir(self) -> Path:
        return self.build_dir / "wine"

    @property
    def base_prefix(self) -> Path:
        return self.cache_dir / "base"

    @property
    def locale_dir(self) -> Path:
        return self.cache_dir / "locales"

    @property
    def tools_dir(self) -> Path:
        return self.win64_dir / "wine-tools"

    def build_dir_of(self, build: str) -> Path:
        if build not in BUILDS:
            raise HarnessError(f"unknown build {build!r}")
        return self.win32_dir if build == "i686" else self.win64_dir

    def bootstrapper(self, build: str = "x86_64") -> Path:
        return self.build_dir_of(build) / "bootstrapper.exe"

    def planted_msi_dll(self, build: str = "x86_64") -> Path:
        """A DLL named msi.dll of the build's architecture that leaves a marker when loaded."""
        return self.build_dir_of(build) / "wine-tools" / "planted" / "msi.dll"

    def packages_dir(self, scenario: str) -> Path:
        return self.cache_dir / "packages" / scenario


class HarnessError(RuntimeError):
    """The harness itself could not do its work (not a finding about the program)."""


# --------------------------------------------------------------------------------------
# The base prefix and the locales, made once per build


ADDR_NO_RANDOMIZE = 0x0040000
PERSONALITY_QUERY = 0xFFFFFFFF


def start_wine_without_address_randomization() -> None:
    """Every program this process starts from now on, Wine and all that Wine starts, gets
    the same address-space layout at every start.

    Debian's wine64 runs without Wine's preloader, whose task is to keep the addresses that
    Windows processes need free before anything else is mapped. The kernel then puts the
    heap of the loader (linked at 0x7d000000) anywhere in the gigabyte after it, and about
    one start in 7,500 finds its fresh heap over 0x7ffe0000, where Wine must map the shared
    user data of every Windows process: Wine ends that process at once ("failed to map the
    shared user data: c0000018"), so a tool fails with no output and a parent's
    CreateProcess fails with 1359. Without randomization the heap starts right after the
    loader, 47 MB below that page. The personality is inherited by every child."""
    libc = ctypes.CDLL(None, use_errno=True)
    current = libc.personality(PERSONALITY_QUERY)
    if current == -1 or libc.personality(current | ADDR_NO_RANDOMIZE) == -1:
        raise HarnessError(f"cannot turn address-space randomization off: errno "
                           f"{ctypes.get_errno()}")


def wine_version() -> str:
    return subprocess.run([WINE, "--version"], capture_output=True, text=True,
                          check=True).stdout.strip()


def wine32_runs() -> bool:
    """32-bit Wine starts (qemu-i386 registered with binfmt_misc: scripts/setup.sh)."""
    try:
        return subprocess.run([WINE32, "--version"], capture_output=True, timeout=60,
                              env={**os.environ, "QEMU_RESERVED_VA": QEMU_RESERVED_VA}
                              ).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


def base_environment(config: Config, prefix: Path) -> dict[str, str]:
    env = {key: value for key, value in os.environ.items()
           if not key.startswith(("WINE", "LC_", "DISPLAY"))}
    # 32-bit Wine runs under qemu-i386, which must keep the low 4 GiB for it; without this
    # a 32-bit process cannot map Wine's shared user data, and a prefix made without it
    # has no 32-bit system folder.
    env.update(WINEPREFIX=str(prefix), WINEDLLOVERRIDES="mscoree,mshtml=",
               QEMU_RESERVED_VA=QEMU_RESERVED_VA,
               WINEDEBUG=os.environ.get("WINE_TEST_DEBUG", "-all"),
               LOCPATH=str(config.locale_dir), LC_ALL=LOCALES["en"])
    env.pop("LANG", None)
    env.pop("LANGUAGE", None)
    return env


def make_locales(config: Config) -> None:
    """Wine takes the UI language and the code page of file names from LC_ALL; without the
    locale compiled, glibc falls back to ASCII and Cyrillic paths break. They are compiled
    into the build tree, so nothing on the machine changes."""
    for name in LOCALES.values():
        target = config.locale_dir / name
        if (target / "LC_CTYPE").exists():
            continue
        language = name.split(".")[0]
        if not Path(f"/usr/share/i18n/locales/{language}").exists():
            raise HarnessError(f"no locale source for {language}: install Debian's locales")
        config.locale_dir.mkdir(parents=True, exist_ok=True)
        # localedef ends with 1 after mere warnings; the compiled files tell success.
        result = subprocess.run(["localedef", "-i", language, "-f", "UTF-8", str(target)],
                                capture_output=True, text=True)
        if not (target / "LC_CTYPE").exists():
            raise HarnessError(f"localedef failed for {name}: {result.stderr}")


def initialise_prefix(config: Config, prefix: Path, log: Path) -> None:
    """A new prefix with the settings every scenario needs; returns when Wine has saved it."""
    env = base_environment(config, prefix)
    with open(log, "w") as output:
        def wine(*args: str) -> None:
            subprocess.run([WINE, *args], env=env, stdout=output, stderr=output,
                           timeout=120, check=True)
        wine("wineboot", "-i")
        # Without a window manager, Wine's managed windows take seconds to close.
        wine("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f")
        # The sessions' trace relays no function: only each process's start and exit markers.
        wine("reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude",
             "/d", RELAY_INCLUDE, "/f")
        # A crash ends the program instead of opening winedbg's dialog.
        wine("reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog",
             "/t", "REG_DWORD", "/d", "0", "/f")
        subprocess.run([WINESERVER, "-w"], env=env, timeout=120, check=True)


def has_wow64(prefix: Path) -> bool:
    """32-bit Windows is set up in the prefix: wineboot could run 32-bit Wine."""
    return (prefix / "drive_c" / "windows" / "syswow64" / "kernel32.dll").exists()


def require_wow64(config: Config) -> None:
    if not has_wow64(config.base_prefix):
        raise HarnessError(
            "the base prefix has no 32-bit Windows (syswow64 is empty): 32-bit Wine could not "
            "run when it was made. Run scripts/setup.sh and read its message.")


def make_base_prefix(config: Config) -> float:
    """Creates the cached base prefix unless a current one exists. Returns seconds spent.
    Parallel callers wait for each other through a lock file."""
    started = time.monotonic()
    config.cache_dir.mkdir(parents=True, exist_ok=True)
    with open(config.cache_dir / "base.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        make_locales(config)
        # A base made while 32-bit Wine could not run lacks syswow64: made again once it can.
        stamp = f"{wine_version()} layout {BASE_LAYOUT} wow64 {wine32_runs()}\n"
        ready = config.base_prefix / ".harness-ready"
        if ready.exists() and ready.read_text() == stamp:
            return time.monotonic() - started
        fresh = config.cache_dir / "base.new"
        shutil.rmtree(fresh, ignore_errors=True)
        initialise_prefix(config, fresh, config.cache_dir / "base.log")
        shutil.rmtree(config.base_prefix, ignore_errors=True)
        fresh.rename(config.base_prefix)
        ready.write_text(stamp)
    return time.monotonic() - started
