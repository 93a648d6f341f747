#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers
"""A sound server that hangs does not hold Marulet up.

On a private X server with no sound server at all, starts a copy of the
program and times its first paint; then points PULSE_SERVER at a socket that
takes connections and never answers (a server stuck after a suspend) and
starts it again: the window must come up about as fast (at most 1.5 s
slower), the field must tick once a piece is excited (the field's picture
changes), and the program must close within 2 s when asked, by the window
manager's close and by SIGTERM.
Only the processes started here are stopped, by their ids.

Usage: hung.py PATH-TO-MARULET
"""
import os
import signal
import subprocess
import sys
import time

from harness import (SilentServer, ask_to_close, client_rect, excite, field_origin,
                     find_windows, log, screen_pixels, session, time_to_paint)

SLOWER_AT_MOST = 1.5  # seconds more than with no server: an open that waits for
# the server on the way up (2 s) shows
CLOSE_WITHIN = 2.0


def dismiss_notices(s, win, seconds):
    """For some seconds, answers the notices the program puts up over its
    window (no sound output is one) with Return, so that the field and the
    window take the clicks and the close meant for them."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if any(w.id != win.id for w in find_windows(s.dpy)):
            s.xdo("key", "Return")
        time.sleep(0.2)


def field_picture(s, win):
    """The client window's pixels, to see whether the field changed."""
    w, _, px = screen_pixels(s)
    x, y, cw, ch = client_rect(win)
    return b"".join(px[(row * w + x) * 3:(row * w + x + cw) * 3] for row in range(y, y + ch))


def field_ticks(s, win):
    """Excites a piece and gives whether the field's picture then changes
    from one moment to the next, as it does while pieces play."""
    excite(s, field_origin(s, win), [24], times=3, pause=0.1)
    time.sleep(1.0)
    pictures = []
    for _ in range(4):
        pictures.append(field_picture(s, win))
        time.sleep(0.5)
    return any(a != b for a, b in zip(pictures, pictures[1:]))


def closes(s, app, win, how):
    """Asks the program to close (the window manager's close or SIGTERM);
    gives the seconds it took, or None when it did not go in time."""
    t0 = time.monotonic()
    if how == "close":
        ask_to_close(s.dpy, win)
    else:
        app.send_signal(signal.SIGTERM)
    try:
        app.wait(CLOSE_WITHIN + 8)
    except subprocess.TimeoutExpired:
        s.stop(app)
        return None
    return time.monotonic() - t0


def main():
    failures = 0
    with session(sys.argv[1], sound=False) as s:
        # No server: the socket PULSE_SERVER names does not exist.
        app, win, plain_ms = time_to_paint(s)
        log(f"no sound server: first paint after {plain_ms:.0f} ms")
        dismiss_notices(s, win, 1.0)
        took = closes(s, app, win, "close")
        log(f"no sound server: closed after {took} s")

        hung = SilentServer(os.path.join(s.tmp, "hung.sock"))
        s.env["PULSE_SERVER"] = hung.address
        for how in ("close", "SIGTERM"):
            try:
                app, win, hung_ms = time_to_paint(s, timeout=40)
            except AssertionError as e:
                log(f"hung server: {e}")
                failures += 1
                continue
            fast = hung_ms <= plain_ms + SLOWER_AT_MOST * 1000
            failures += not fast
            log(f"hung server: first paint after {hung_ms:.0f} ms "
                f"({'ok' if fast else f'more than {SLOWER_AT_MOST} s slower'})")
            # Told once the server is given up: that may come after the window.
            dismiss_notices(s, win, 3.0)
            if how == "close":
                ticking = field_ticks(s, win)
                failures += not ticking
                log(f"hung server: the field {'ticks' if ticking else 'does not tick'}")
            took = closes(s, app, win, how)
            ok = took is not None and took <= CLOSE_WITHIN
            failures += not ok
            log(f"hung server: {how} took "
                f"{'more than 10 s' if took is None else f'{took:.2f} s'} "
                f"({'ok' if ok else f'expected at most {CLOSE_WITHIN} s'})")
        hung.close()
    print(f"e2e: {5 - failures} passed, {failures} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
