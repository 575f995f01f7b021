"""What a scenario does on the X display itself, while box_driver.exe holds a box open: takes
screenshots and presses keys or clicks with real X input (the XTEST extension of Xvfb).

box_driver.exe's action "ask:TEXT" writes ask.txt beside its record (TEXT, then the box's
screen rectangle "left top right bottom") and waits until that file is gone. AskWatcher
watches for it during a run and hands it to a handler; HostActions is the handler that
understands these TEXTs:

    shot NAME         a PNG of the box, cropped to its rectangle, saved as NAME.png
    key KEYSYM        press and release a key (an X keysym name: Escape, Return...)
    click DX DY       move the pointer to the box's left + DX, top + DY (negative: from the
                      right or bottom edge) and click the first button
"""

from __future__ import annotations

import ctypes
import ctypes.util
import subprocess
import threading
import time
from pathlib import Path
from typing import Callable

from wine_env import HarnessError

# Wine copies a window's drawing to the X server a moment after it is painted.
SETTLE_SECONDS = 0.4
POLL_SECONDS = 0.02

Rectangle = tuple[int, int, int, int]


def _load(name: str) -> ctypes.CDLL:
    path = ctypes.util.find_library(name)
    if not path:
        raise HarnessError(f"lib{name} is missing (libx11-6, libxtst6)")
    return ctypes.CDLL(path)


class XDisplay:
    """Real input on an X display through XTEST."""

    def __init__(self, number: int):
        self.number = number
        self._x11 = _load("X11")
        self._xtst = _load("Xtst")
        self._x11.XOpenDisplay.restype = ctypes.c_void_p
        self._x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self._x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self._x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self._x11.XStringToKeysym.restype = ctypes.c_ulong
        self._x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self._x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self._x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self._xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                 ctypes.c_ulong]
        self._xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint,
                                                    ctypes.c_int, ctypes.c_ulong]
        self._xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                                    ctypes.c_int, ctypes.c_ulong]

    def _session(self, act: Callable[[int], None]) -> None:
        display = self._x11.XOpenDisplay(f":{self.number}".encode())
        if not display:
            raise HarnessError(f"cannot open X display :{self.number}")
        try:
            act(display)
            self._x11.XSync(display, 0)
        finally:
            self._x11.XCloseDisplay(display)

    def press_key(self, keysym_name: str) -> None:
        keysym = self._x11.XStringToKeysym(keysym_name.encode())
        if not keysym:
            raise HarnessError(f"unknown keysym {keysym_name}")

        def press(display: int) -> None:
            keycode = self._x11.XKeysymToKeycode(display, keysym)
            self._xtst.XTestFakeKeyEvent(display, keycode, 1, 0)
            self._xtst.XTestFakeKeyEvent(display, keycode, 0, 30)

        self._session(press)

    def click(self, x: int, y: int) -> None:
        def click(display: int) -> None:
            self._xtst.XTestFakeMotionEvent(display, -1, x, y, 0)
            self._xtst.XTestFakeButtonEvent(display, 1, 1, 100)
            self._xtst.XTestFakeButtonEvent(display, 1, 0, 100)

        self._session(click)

    def screenshot(self, path: Path, rectangle: Rectangle | None = None) -> Path:
        """A PNG of the screen, cropped to `rectangle` (clipped to the screen) if given."""
        path.parent.mkdir(parents=True, exist_ok=True)
        dump = subprocess.run(["xwd", "-root", "-silent", "-display", f":{self.number}"],
                              capture_output=True, check=True, timeout=30).stdout
        crop = []
        if rectangle is not None:
            left, top, right, bottom = rectangle
            left, top = max(left, 0), max(top, 0)
            crop = ["-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage"]
        subprocess.run(["convert", "xwd:-", *crop, str(path)], input=dump, check=True,
                       timeout=30)
        return path


class HostActions:
    """Handles box_driver.exe's "ask:" requests on one X display; pictures go to
    `shot_dir`. `shots` lists the pictures taken, in order."""

    def __init__(self, display: int, shot_dir: Path):
        self.display = XDisplay(display)
        self.shot_dir = shot_dir
        self.shots: list[Path] = []

    def __call__(self, text: str, rectangle: Rectangle) -> None:
        verb, _, rest = text.partition(" ")
        if verb == "shot":
            time.sleep(SETTLE_SECONDS)
            shot = self.display.screenshot(self.shot_dir / f"{rest}.png", rectangle)
            self.shots.append(shot)
            print(f"screenshot {shot}")
        elif verb == "key":
            self.display.press_key(rest)
        elif verb == "click":
            left, top, right, bottom = rectangle
            dx, dy = (int(word) for word in rest.split())
            self.display.click(left + dx if dx >= 0 else right + dx,
                               top + dy if dy >= 0 else bottom + dy)
        else:
            raise HarnessError(f"box_driver asked for something unknown: {text!r}")


class AskWatcher:
    """While active, hands each ask.txt that appears at `path` to `handler` and removes the
    file, which lets box_driver.exe go on. A failing handler is reported after the run."""

    def __init__(self, path: Path, handler: Callable[[str, Rectangle], None]):
        self.path = path
        self.handler = handler
        self.failure: BaseException | None = None
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._watch, daemon=True)

    def __enter__(self) -> "AskWatcher":
        self._thread.start()
        return self

    def __exit__(self, *exc_info) -> None:
        self._stop.set()
        self._thread.join(timeout=30)
        if self.failure is not None and exc_info[0] is None:
            raise HarnessError(f"acting on box_driver's request failed: {self.failure}")

    def _watch(self) -> None:
        while not self._stop.is_set():
            if self.path.exists():
                self._serve()
            time.sleep(POLL_SECONDS)

    def _serve(self) -> None:
        try:
            lines = self.path.read_text(encoding="utf-8").splitlines()
            left, top, right, bottom = (int(word) for word in lines[1].split())
            self.handler(lines[0], (left, top, right, bottom))
        except BaseException as error:  # noqa: BLE001 - reported when the run ends
            self.failure = self.failure or error
        finally:
            self.path.unlink(missing_ok=True)
