#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers
"""Measures the running program as a user runs it, on a private X server and
PulseAudio null sink: time from exec to the first painted window, CPU use
and resident memory over 30 s while a few excited pieces play.

Usage: perf_run.py PATH-TO-MARULET [SECONDS]
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import field_origin, measure, play_a_few, session, time_to_paint  # noqa: E402


def main():
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 30
    with session(sys.argv[1]) as s:
        app, win, startup = time_to_paint(s)
        print(f"exec to first painted window: {startup:.0f} ms")

        play_a_few(s, field_origin(s, win))
        [m] = measure([app.pid], seconds)
        print(f"CPU while playing over {m.seconds:.0f} s: {m.cpu:.2f} % of one core")
        print(f"resident memory while playing: {m.peak_rss:.1f} MB (peak of 1 s samples)")


if __name__ == "__main__":
    main()
