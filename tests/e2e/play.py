#!/usr/bin/python3
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

from Xlib import X, display, protocol

from harness import Session, field_origin, find_window, log, record, wait_until


def main():
    exe = os.path.abspath(sys.argv[1])
    s = Session(exe)
    try:
        s.start_sound()
        s.start_display()
        app = s.start([s.exe])
        dpy = display.Display(s.env["DISPLAY"])
        win = wait_until(lambda: find_window(dpy), 20, "the main window")
        time.sleep(1.0)
        log("window is up")

        quiet = record(s, 1.5)
        log(f"before any click: RMS {quiet}")
        assert quiet < 0.0001, "sound before any piece was excited"

        # Satellite 2 of piece 0 sits at (33, 33) of the field; piece 24's
        # body is 247 pixels right and below that, its centre 12 more.
        sx, sy = field_origin(s, win)
        cx, cy = sx - 33 + 280 + 12, sy - 33 + 280 + 12
        log(f"field origin at ({sx - 33}, {sy - 33}); Ctrl+click at ({cx}, {cy})")
        xdo = ["xdotool"]
        subprocess.run(xdo + ["mousemove", str(cx), str(cy)], env=s.env, check=True)
        for _ in range(3):
            subprocess.run(xdo + ["keydown", "ctrl", "click", "1", "keyup", "ctrl"],
                           env=s.env, check=True)
            time.sleep(0.1)
        # Rates of 3 per tick reach 255 in about 86 ticks: a note within 5 s.
        time.sleep(4.5)
        loud = record(s, 4.0)
        log(f"after the Ctrl+click: RMS {loud}")
        assert loud > 0.0003, "no notes heard after exciting a piece"

        t0 = time.monotonic()
        second = subprocess.run([s.exe], env=s.env, capture_output=True, timeout=20)
        took = time.monotonic() - t0
        log(f"second copy exited with {second.returncode} after {took:.2f} s")
        assert second.returncode == 255, "a second copy must exit with 255"
        assert took < 5, "a second copy must exit at once"
        assert app.poll() is None, "the first copy must keep running"
        still = record(s, 3.0)
        log(f"first copy still playing: RMS {still}")
        assert still > 0.0003, "the first copy stopped playing"

        # Right-click on empty ground, then the menu's first item: stop all.
        gx, gy = sx - 33 + 590, sy - 33 + 300
        subprocess.run(xdo + ["mousemove", str(gx), str(gy), "click", "3"], env=s.env, check=True)
        time.sleep(0.5)
        subprocess.run(xdo + ["mousemove", str(gx + 30), str(gy + 10), "click", "1"],
                       env=s.env, check=True)
        time.sleep(4.0)  # the sounding notes run out, with their release
        silent = record(s, 2.0)
        log(f"after stop all: RMS {silent}")
        assert silent < 0.0001, "notes go on after stop all"

        # File menu, second item: save the layout, typing a name without extension.
        subprocess.run(xdo + ["mousemove", str(sx - 33 + 30), str(sy - 33 - 10), "click", "1"],
                       env=s.env, check=True)
        time.sleep(0.5)
        subprocess.run(xdo + ["mousemove", str(sx - 33 + 60), str(sy - 33 - 10 + 41), "click", "1"],
                       env=s.env, check=True)
        time.sleep(1.5)
        subprocess.run(xdo + ["key", "ctrl+a"], env=s.env, check=True)
        subprocess.run(xdo + ["type", "--delay", "30", "mylayout"], env=s.env, check=True)
        subprocess.run(xdo + ["key", "Return"], env=s.env, check=True)
        layout = os.path.join(s.appdir, "mylayout.DAT")
        wait_until(lambda: os.path.exists(layout), 10, "the saved layout file")
        with open(layout, encoding="utf-8") as f:
            saved = set(re.findall(r"^\[(Piece\d+)\]", f.read(), re.M))
        assert saved == {f"Piece{i}" for i in range(49)}, f"layout holds {sorted(saved)}"
        log("layout saved through the save dialog with its 49 sections")

        # Close as a window manager would: WM_DELETE_WINDOW.
        protocols = dpy.intern_atom("WM_PROTOCOLS")
        delete = dpy.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=win, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        win.send_event(event)
        dpy.flush()
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
    finally:
        s.stop_all()


if __name__ == "__main__":
    main()
