#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers
"""Plays Marulet as a user would, on a private X server and sound server.

Starts a PulseAudio with a null sink and Xvfb, runs a copy of the program in
a fresh folder (so its settings file starts empty), Ctrl+clicks a piece,
records the sink and checks that notes are heard; checks that a second copy
exits at once with 255 while the first keeps playing; stops all pieces from
the context menu and checks that the field falls silent; saves a layout
through the save dialog; then asks the window to close as a window manager
would and checks what the settings file holds.
Only the processes started here are stopped, by their ids.

Usage: play.py PATH-TO-MARULET
"""
import os
import re
import subprocess
import sys
import time

from harness import (Menu, ask_to_close, excite, field_corner, field_origin, log, piece_centre,
                     record_rms, session, start_program)


def main():
    with session(sys.argv[1]) as s:
        app, win = start_program(s)
        log("window is up")

        quiet = record_rms(s, 1.5)
        log(f"before any click: RMS {quiet}")
        assert quiet < 0.0001, "sound before any piece was excited"

        origin = field_origin(s, win)
        ox, oy = field_corner(origin)
        log(f"field origin at ({ox}, {oy}); Ctrl+click at {piece_centre(origin, 24)}")
        excite(s, origin, [24], times=3, pause=0.1)
        # Rates of 3 per tick reach 255 in about 86 ticks: a note within 5 s.
        time.sleep(4.5)
        loud = record_rms(s, 4.0)
        log(f"after the Ctrl+click: RMS {loud}")
        assert loud > 0.0003, "no notes heard after exciting a piece"

        t0 = time.monotonic()
        second = subprocess.run([s.exe], env=s.env, capture_output=True, timeout=20)
        took = time.monotonic() - t0
        log(f"second copy exited with {second.returncode} after {took:.2f} s")
        assert second.returncode == 255, "a second copy must exit with 255"
        assert took < 5, "a second copy must exit at once"
        assert app.poll() is None, "the first copy must keep running"
        still = record_rms(s, 3.0)
        log(f"first copy still playing: RMS {still}")
        assert still > 0.0003, "the first copy stopped playing"

        # Right-click on empty ground, then the menu's first item: stop all.
        gx, gy = ox + 590, oy + 300
        s.xdo("mousemove", gx, gy, "click", 3)
        time.sleep(0.5)
        s.xdo("mousemove", gx + 30, gy + 10, "click", 1)
        time.sleep(4.0)  # the sounding notes run out, with their release
        silent = record_rms(s, 2.0)
        log(f"after stop all: RMS {silent}")
        assert silent < 0.0001, "notes go on after stop all"

        # File menu, second item: save the layout, typing a name without extension.
        menu = Menu(s, origin)
        menu.open_file()
        time.sleep(0.5)
        s.xdo("mousemove", ox + 60, oy - 10 + 41, "click", 1)
        layout = os.path.join(s.appdir, "mylayout.DAT")
        menu.save_as(layout, typed="mylayout")
        with open(layout, encoding="utf-8") as f:
            saved = set(re.findall(r"^\[(Piece\d+)\]", f.read(), re.M))
        assert saved == {f"Piece{i}" for i in range(49)}, f"layout holds {sorted(saved)}"
        log("layout saved through the save dialog with its 49 sections")

        ask_to_close(s.dpy, win)
        code = app.wait(20)
        log(f"program closed with exit code {code}")
        assert code == 0

        with open(s.ini, encoding="utf-8") as f:
            text = f.read()
        sections = set(re.findall(r"^\[([^\]]+)\]", text, re.M))
        for name in [f"Piece{i}" for i in range(49)] + ["General", "Param", "Color", "Design", "Sound"]:
            assert name in sections, f"[{name}] missing from the settings file"
        assert re.search(r"^Prg_00=13$", text, re.M), "Prg_00=13 missing"
        log("settings file holds every section")
        print("e2e: 1 passed, 0 failed")


if __name__ == "__main__":
    main()
