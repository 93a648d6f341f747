#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers
"""Stopping Marulet by a signal loses nothing, and a hostile settings file
does not hang it.

For SIGTERM, SIGINT and SIGHUP in turn: starts a copy with no settings file,
drags a piece with the mouse, sends the signal, and checks that the program
exits with 0 and that the settings file holds the piece's new place. Then
puts a named pipe where the settings file belongs: the window must come up
(the user is told the file was passed over), and a SIGTERM must leave a
regular settings file in the pipe's place.
Only the processes started here are stopped, by their ids.

Usage: signals.py PATH-TO-MARULET
"""
import os
import re
import signal
import stat
import subprocess
import sys
import time

from harness import (field_origin, find_window, log, piece_centre, session, start_program,
                     wait_until)


def saved_xpos(path, piece):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    m = re.search(rf"^\[Piece{piece}\]\n(?:[^\[].*\n)*?Xpos=(-?\d+)", text, re.M)
    return int(m.group(1)) if m else None


def main():
    failures = 0
    with session(sys.argv[1]) as s:
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            if os.path.lexists(s.ini):
                os.remove(s.ini)
            app, win = start_program(s)
            # Drag piece 24 by its body 100 pixels to the right.
            cx, cy = piece_centre(field_origin(s, win), 24)
            s.xdo("mousemove", cx, cy, "mousedown", 1)
            for step in range(1, 11):
                s.xdo("mousemove", cx + 10 * step, cy)
                time.sleep(0.03)
            s.xdo("mouseup", 1)
            time.sleep(0.5)
            app.send_signal(sig)
            code = app.wait(20)
            x = saved_xpos(s.ini, 24) if os.path.exists(s.ini) else None
            ok = code == 0 and x is not None and abs(x - 380) <= 3
            failures += not ok
            log(f"{sig.name}: exit code {code}, [Piece24] Xpos={x} "
                f"({'ok' if ok else 'expected 0 and 380'})")

        # A named pipe as the settings file.
        os.remove(s.ini)
        os.mkfifo(s.ini)
        app = s.start([s.exe])
        try:
            wait_until(lambda: find_window(s.dpy), 20, "the main window over a pipe")
            up = True
        except AssertionError:
            up = False
        time.sleep(1.0)
        app.send_signal(signal.SIGTERM)
        try:
            code = app.wait(20)
        except subprocess.TimeoutExpired:
            # Set a hung reader free, so the check can end.
            fd = os.open(s.ini, os.O_WRONLY | os.O_NONBLOCK)
            os.close(fd)
            code = app.wait(20)
        regular = stat.S_ISREG(os.lstat(s.ini).st_mode)
        ok = up and code == 0 and regular and saved_xpos(s.ini, 24) == 280
        failures += not ok
        log(f"settings file a named pipe: window up {up}, exit code {code}, "
            f"replaced by a regular file {regular} ({'ok' if ok else 'failed'})")
    print(f"e2e: {4 - failures} passed, {failures} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
