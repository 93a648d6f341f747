#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers
"""Marulet on a desktop with a window manager (openbox), as a user meets it.

Checks that the restore command (and the window manager's own state changes)
end the maximised mode without title bar for good; that ten maximise, close
and start cycles keep the stored window bounds; that hand-edited huge sizes
and far-off places still give a window wholly on the screen; that the dialogs
carry their exact captions; that an error box stands above the always-on-top
design dialog; and that switching the language to English and back changes
the captions at once and brings the Japanese ones back exactly.
Only the processes started here are stopped, by their ids.

Usage: desktop.py PATH-TO-MARULET
"""
import os
import re
import sys
import time

from Xlib import X, protocol

from harness import (H, W, ask_to_close, client_rect, field_corner, field_origin, log,
                     screen_pixels, session, start_program, wait_until, window_title)

class Desktop:
    def __init__(self, session):
        self.s = session
        self.dpy = session.dpy
        self.xdo = session.xdo
        self.root = self.dpy.screen().root
        self.app = None
        self.win = None

    def atom(self, name):
        return self.dpy.intern_atom(name)

    def write_ini(self, general="", design=""):
        with open(self.s.ini, "w", encoding="utf-8") as f:
            f.write("[General]\n" + general + "[Design]\n" + design)

    def ini_keys(self, *keys):
        with open(self.s.ini, encoding="utf-8") as f:
            text = f.read()
        return tuple(int(re.search(rf"^{k}=(-?\d+)$", text, re.M).group(1)) for k in keys)

    def start(self):
        self.app, self.win = start_program(self.s)

    def close(self):
        ask_to_close(self.dpy, self.win)
        assert self.app.wait(20) == 0

    def states(self, win=None):
        prop = (win or self.win).get_full_property(self.atom("_NET_WM_STATE"), X.AnyPropertyType)
        names = [self.dpy.get_atom_name(a) for a in (prop.value if prop else [])]
        return {n.replace("_NET_WM_STATE_", "") for n in names}

    def request_state(self, add, *names):
        """Asks the window manager to change the state, as its keys or a
        title bar button do."""
        atoms = [self.atom("_NET_WM_STATE_" + n) for n in names] + [0]
        event = protocol.event.ClientMessage(
            window=self.win, client_type=self.atom("_NET_WM_STATE"),
            data=(32, [1 if add else 0, atoms[0], atoms[1], 1, 0]))
        self.root.send_event(event, event_mask=X.SubstructureRedirectMask |
                             X.SubstructureNotifyMask)
        self.dpy.flush()

    def maximise(self):
        self.request_state(True, "MAXIMIZED_VERT", "MAXIMIZED_HORZ")

    def frame_rect(self, win=None):
        win = win or self.win
        x, y, w, h = client_rect(win)
        ext = win.get_full_property(self.atom("_NET_FRAME_EXTENTS"), X.AnyPropertyType)
        l, r, t, b = ext.value if ext else (0, 0, 0, 0)
        return x - l, y - t, w + l + r, h + t + b

    def find(self, title, other_than=None):
        """The viewable window of that exact title (UTF-8), framed or not."""
        for frame in self.root.query_tree().children:
            for w in [frame] + frame.query_tree().children:
                try:
                    if (window_title(self.dpy, w) == title and w != other_than
                            and w.get_attributes().map_state == X.IsViewable):
                        return w
                except Exception:
                    continue
        return None

    def stacking(self):
        prop = self.root.get_full_property(self.atom("_NET_CLIENT_LIST_STACKING"),
                                           X.AnyPropertyType)
        return list(prop.value)

    def wait_normal(self, what):
        try:
            wait_until(lambda: not self.states() & {"FULLSCREEN", "MAXIMIZED_VERT",
                                                    "MAXIMIZED_HORZ"}, 5, what)
        except AssertionError:
            raise AssertionError(f"{what}: still {self.states()}")
        time.sleep(1.5)  # and it stays so
        assert not self.states() & {"FULLSCREEN", "MAXIMIZED_VERT"}, f"{what}: {self.states()}"


def check_restore(d):
    d.write_ini("WinLeft=100\nWinTop=80\nWinWidth=640\nWinHeight=480\n", "HideTitlebar=1\n")
    d.start()
    normal = client_rect(d.win)
    for way in ("the restore command", "leaving full screen by the window manager"):
        d.maximise()
        wait_until(lambda: "FULLSCREEN" in d.states(), 5, "full screen")
        time.sleep(1.2)
        if way == "the restore command":
            x, y, w, h = client_rect(d.win)
            d.xdo("mousemove", x + w // 2, y + h // 2, "click", 3)
            time.sleep(0.5)
            d.xdo("mousemove", x + w // 2 - 20, y + h // 2 - 20)  # off the menu
            d.xdo("key", "Up", "Up", "Return")  # the item above Exit
        else:
            d.request_state(False, "FULLSCREEN")
        d.wait_normal(way)
        assert client_rect(d.win) == normal, f"{way}: {client_rect(d.win)} != {normal}"
        _, top = field_corner(field_origin(d.s, d.win))
        assert top - normal[1] > 10, f"{way}: the menu bar is not back"
        log(f"{way}: the normal window is back at {normal}, menu bar shown")
    d.close()


def check_cycles(d):
    d.write_ini("WinLeft=100\nWinTop=80\nWinWidth=640\nWinHeight=480\n")
    first = None
    for cycle in range(10):
        if cycle:  # alternately with and without title bar
            with open(d.s.ini, encoding="utf-8") as f:
                text = f.read()
            text = re.sub(r"^HideTitlebar=\d$", f"HideTitlebar={cycle % 2}", text, flags=re.M)
            with open(d.s.ini, "w", encoding="utf-8") as f:
                f.write(text)
        d.start()
        if not d.states() & {"MAXIMIZED_VERT", "FULLSCREEN"}:
            d.maximise()
        wait_until(lambda: d.states() & {"MAXIMIZED_VERT", "FULLSCREEN"}, 5, "maximised")
        time.sleep(1.2)
        d.close()
        keys = d.ini_keys("WinLeft", "WinTop", "WinWidth", "WinHeight", "WinState")
        first = first or keys
        assert keys == (100, 80, 640, 480, 2), f"cycle {cycle}: {keys}"
    log("ten maximise-close-start cycles keep WinLeft/WinTop/WinWidth/WinHeight")


def check_absurd(d):
    for general in ("WinWidth=100000\nWinHeight=70000\n", "WinHeight=99999999\n",
                    "WinTop=100\nWinHeight=40000\n", "WinLeft=99999\nWinTop=300\n"):
        d.write_ini(general)
        for run in range(2):  # and again from what it saved
            d.start()
            time.sleep(0.5)
            fx, fy, fw, fh = d.frame_rect()
            assert fx >= 0 and fy >= 0 and fx + fw <= W and fy + fh <= H, \
                f"{general!r} run {run}: frame at {(fx, fy, fw, fh)}"
            d.close()
        log(f"{general.strip()!r}: the whole frame on the screen at {(fx, fy, fw, fh)}")


def check_dialogs_and_language(d):
    d.write_ini("WinLeft=100\nWinTop=60\nWinWidth=800\nWinHeight=600\n"
                "DesignDlgLeft=500\nDesignDlgTop=300\n")
    d.start()
    d.xdo("key", "alt+h", "a")
    about = wait_until(lambda: d.find("バージョン情報"), 10, "the about box")
    d.xdo("key", "Escape")
    wait_until(lambda: not d.find("バージョン情報"), 5, "the about box to close")
    d.xdo("key", "F1")
    help_win = wait_until(lambda: d.find("駒の操作と画面の見方 - Marulet ヘルプ"), 10,
                          "the help window with its title once")
    help_title = window_title(d.dpy, help_win)
    assert help_title.endswith("Marulet ヘルプ") and help_title.count("Marulet") == 1, help_title
    d.xdo("key", "Escape")
    log(f"the about box and the help window ({help_title!r}) carry their exact titles")

    d.xdo("key", "alt+o", "d")
    dialog = wait_until(lambda: d.find("デザイン設定"), 10, "the design dialog")
    assert window_title(d.dpy, dialog) == "デザイン設定"
    # The picture button, then a picture that does not decode: an error box.
    broken = os.path.join(d.s.tmp, "broken.bmp")
    with open(broken, "wb") as f:
        f.write(b"BM not a picture")
    x, y, _, _ = client_rect(dialog)
    d.xdo("mousemove", x + 8 + 246 + 13, y + 80 + 18 + 12, "click", 1)
    time.sleep(1.5)
    d.xdo("key", "ctrl+a")
    d.xdo("type", "--delay", 20, broken)
    d.xdo("key", "Return")
    box = wait_until(lambda: d.find("Marulet", other_than=d.win), 10, "the error box")
    time.sleep(0.5)
    order = d.stacking()
    assert order.index(box.id) > order.index(dialog.id), "the error box is below the dialog"
    d.xdo("key", "Return")
    log("the error box stands above the always-on-top design dialog")

    def menu_bar():
        x, y, w, _ = client_rect(d.win)
        _, _, px = screen_pixels(d.s)
        return b"".join(px[(y + r) * W * 3 + x * 3:(y + r) * W * 3 + (x + 300) * 3]
                        for r in range(20))

    d.xdo("key", "Escape")  # the design dialog closes on Escape
    wait_until(lambda: not d.find("デザイン設定"), 5, "the design dialog to close")
    japanese = menu_bar()
    d.xdo("key", "alt+o", "l", "e")
    time.sleep(1.0)
    english = menu_bar()
    assert english != japanese, "the menu bar did not change"
    d.xdo("key", "alt+o", "d")
    wait_until(lambda: d.find("Design"), 10, "the design dialog in English")
    d.xdo("key", "Escape")
    d.xdo("key", "alt+o", "l", "j")
    time.sleep(1.0)
    assert menu_bar() == japanese, "the Japanese menu bar did not come back exactly"
    d.xdo("key", "alt+o", "d")
    wait_until(lambda: d.find("デザイン設定"), 10, "the design dialog in Japanese")
    log("English and back: the menu bar and the design dialog's title follow at once")
    d.close()
    with open(d.s.ini, encoding="utf-8") as f:
        assert re.search(r"^Language=ja$", f.read(), re.M), "Language=ja not saved"


def main():
    with session(sys.argv[1]) as s:
        d = Desktop(s)
        only = sys.argv[2:] or ["restore", "cycles", "absurd", "dialogs"]
        checks = {"restore": check_restore, "cycles": check_cycles, "absurd": check_absurd,
                  "dialogs": check_dialogs_and_language}
        for name in only:
            checks[name](d)
        print(f"e2e: {len(only)} passed, 0 failed")


if __name__ == "__main__":
    main()
