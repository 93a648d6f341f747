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
from play import Session, field_origin, find_window, wait_until  # noqa: E402
from Xlib import X, display  # noqa: E402


def painted(win):
    """True once the window shows a piece's blue outline."""
    geo = win.get_geometry()
    img = win.get_image(0, 0, geo.width, geo.height, X.ZPixmap, 0xFFFFFFFF).data
    for i in range(0, len(img) - 3, 4):  # BGRX
        if img[i] > 120 and img[i + 1] < 80 and img[i + 2] < 80:
            return True
    return False


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


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
        hz = os.sysconf("SC_CLK_TCK")
        c0, w0 = cpu_ticks(app.pid), time.monotonic()
        peak = 0.0
        while time.monotonic() - w0 < seconds:
            time.sleep(1)
            peak = max(peak, rss_mb(app.pid))
        c1, w1 = cpu_ticks(app.pid), time.monotonic()
        print(f"CPU while playing over {w1 - w0:.0f} s: {100 * (c1 - c0) / hz / (w1 - w0):.2f} % of one core")
        print(f"resident memory while playing: {peak:.1f} MB (peak of 1 s samples)")
    finally:
        s.stop_all()


if __name__ == "__main__":
    main()
