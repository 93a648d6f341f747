#!/usr/bin/python3
"""Measures the running program as a user runs it, on a private X server and
PulseAudio null sink: time from exec to the first painted window, CPU use
and resident memory over 30 s while a few excited pieces play.

Usage: perf_run.py PATH-TO-MARULET [SECONDS]
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import (Session, field_origin, find_window, measure, painted,  # noqa: E402
                     wait_until)
from Xlib import display  # noqa: E402


def main():
    exe = os.path.abspath(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 30
    s = Session(exe)
    try:
        s.start_sound()
        s.start_display()
        dpy = display.Display(s.env["DISPLAY"])
        t0 = time.monotonic()
        app = s.start([s.exe])
        win = wait_until(lambda: find_window(dpy), 20, "the main window")
        wait_until(lambda: painted(win), 20, "the first paint")
        startup = (time.monotonic() - t0) * 1000
        print(f"exec to first painted window: {startup:.0f} ms")

        sx, sy = field_origin(s, win)
        for piece in (10, 24, 38):
            x = sx - 33 + (piece % 7) * 80 + 52
            y = sy - 33 + (piece // 7) * 80 + 52
            subprocess.run(["xdotool", "mousemove", str(x), str(y), "keydown", "ctrl",
                            "click", "1", "keyup", "ctrl"], env=s.env, check=True)
        time.sleep(5)
        [m] = measure([app.pid], seconds)
        print(f"CPU while playing over {m.seconds:.0f} s: {m.cpu:.2f} % of one core")
        print(f"resident memory while playing: {m.peak_rss:.1f} MB (peak of 1 s samples)")
    finally:
        s.stop_all()


if __name__ == "__main__":
    main()
