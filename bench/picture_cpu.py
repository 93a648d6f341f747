#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers
"""CPU while playing with a large background photo against a small one, in
one run: a 9000 x 6000 JPEG and a 640 x 480 JPEG, each stretched over the
window, with three excited pieces recolouring every tick. Also the time to
the first painted window (the photo is decoded at start) and the resident
memory.

Usage: picture_cpu.py PATH-TO-MARULET [SECONDS]
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import field_origin, measure, play_a_few, session, time_to_paint  # noqa: E402


def main():
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 20
    with session(sys.argv[1]) as s:
        for size in ("9000x6000", "640x480"):
            photo = os.path.join(s.appdir, f"photo{size}.jpg")
            subprocess.run(["convert", "-size", size, "gradient:#2050a0-#d0a040",
                            "-quality", "90", photo], check=True)
            app, win, startup = time_to_paint(
                s, f"[Design]\nBgImage={os.path.basename(photo)}\n"
                   "EnableBgImage=1\nStretchBgImage=1\n", timeout=60)
            play_a_few(s, field_origin(s, win))
            [m] = measure([app.pid], seconds)
            print(f"{size} stretched: first paint after {startup:.0f} ms, "
                  f"CPU while playing {m.cpu:.2f} % of one core over {m.seconds:.0f} s, "
                  f"resident {m.peak_rss:.0f} MB", flush=True)
            s.stop(app, 20)


if __name__ == "__main__":
    main()
