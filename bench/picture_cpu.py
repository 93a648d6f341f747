#!/usr/bin/python3
"""CPU while playing with a large background photo against a small one, in
one run: a 9000 x 6000 JPEG and a 640 x 480 JPEG, each stretched over the
window, with three excited pieces recolouring every tick. Also the time to
the first painted window (the photo is decoded at start) and the resident
memory.

Usage: picture_cpu.py PATH-TO-MARULET [SECONDS]
"""
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import (Session, field_origin, find_window, measure, painted,  # noqa: E402
                     wait_until)
from Xlib import display  # noqa: E402


def main():
    exe = os.path.abspath(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 20
    s = Session(exe)
    try:
        s.start_sound()
        s.start_display()
        dpy = display.Display(s.env["DISPLAY"])
        for size in ("9000x6000", "640x480"):
            photo = os.path.join(s.appdir, f"photo{size}.jpg")
            subprocess.run(["convert", "-size", size, "gradient:#2050a0-#d0a040",
                            "-quality", "90", photo], check=True)
            with open(s.ini, "w", encoding="utf-8") as f:
                f.write(f"[Design]\nBgImage={os.path.basename(photo)}\n"
                        "EnableBgImage=1\nStretchBgImage=1\n")
            t0 = time.monotonic()
            app = s.start([s.exe])
            win = wait_until(lambda: find_window(dpy), 60, "the main window")
            wait_until(lambda: painted(win), 60, "the first paint")
            startup = (time.monotonic() - t0) * 1000
            sx, sy = field_origin(s, win)
            for piece in (10, 24, 38):
                x = sx - 33 + (piece % 7) * 80 + 52
                y = sy - 33 + (piece // 7) * 80 + 52
                subprocess.run(["xdotool", "mousemove", str(x), str(y), "keydown", "ctrl",
                                "click", "1", "keyup", "ctrl"], env=s.env, check=True)
            time.sleep(5)
            [m] = measure([app.pid], seconds)
            print(f"{size} stretched: first paint after {startup:.0f} ms, "
                  f"CPU while playing {m.cpu:.2f} % of one core over {m.seconds:.0f} s, "
                  f"resident {m.peak_rss:.0f} MB", flush=True)
            app.send_signal(signal.SIGTERM)
            app.wait(20)
    finally:
        s.stop_all()


if __name__ == "__main__":
    main()
