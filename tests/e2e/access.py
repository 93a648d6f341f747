#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers
"""Marulet as a screen reader meets it, through the accessibility tree.

On a private X server with a window manager, a private sound server, a
private session bus and an AT-SPI bus, the program runs with Qt's
accessibility on. Read through AT-SPI (as Orca reads it):
1. the sound and parameter dialog, opened with its menu's access keys: its
   sliders are named by their captions, the rising speed's value reads as
   its caption shows it, and every list is labelled by its caption;
2. the field is a list of 49 pieces;
3. with the keyboard alone (arrow keys, then Space), a piece is excited: the
   screen reader is told of the focus moving to it and of its new name,
   which says it is playing, and the null sink's recording is not silent.
Prints what a screen reader reads for the dialog's controls and for a piece.
Exits with 77 (skipped) where AT-SPI's Python bindings or its bus are
missing. Only the processes started here are stopped, by their ids.

Usage: access.py PATH-TO-MARULET
"""
import importlib.util
import os
import shutil
import subprocess
import sys
import time

from harness import find_window, log, record_rms, session, start_program, wait_until

SKIP = 77
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


def missing_tools():
    if importlib.util.find_spec("pyatspi") is None:
        return "python3-pyatspi is not installed"
    if not os.path.exists(BUS_LAUNCHER):
        return "at-spi2-core (at-spi-bus-launcher) is not installed"
    if not shutil.which("dbus-daemon"):
        return "dbus-daemon is not installed"
    return None


def start_buses(s):
    """A session bus of our own, and the AT-SPI bus that it hands out."""
    socket = os.path.join(s.tmp, "session-bus")
    address = f"unix:path={socket}"
    s.start(["dbus-daemon", "--session", "--nofork", f"--address={address}"])
    wait_until(lambda: os.path.exists(socket), 10, "the session bus")
    s.env["DBUS_SESSION_BUS_ADDRESS"] = address
    s.start([BUS_LAUNCHER, "--launch-immediately"])
    wait_until(lambda: subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
         "org.a11y.Bus.GetAddress"], env=s.env, capture_output=True).returncode == 0,
        15, "the AT-SPI bus")
    # This script reads the tree over the same buses.
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
    os.environ["DISPLAY"] = s.env["DISPLAY"]


def describe(pyatspi, acc):
    """What a screen reader reads of one object: role, name, value, labels,
    description and states."""
    parts = [f"role={acc.getRoleName()}", f"name={acc.name!r}"]
    try:
        value = acc.queryValue()
        parts.append(f"value={value.currentValue:g} (from {value.minimumValue:g} to "
                     f"{value.maximumValue:g}, step {value.minimumIncrement:g})")
    except NotImplementedError:
        pass
    labels = labels_of(pyatspi, acc)
    if labels:
        parts.append(f"labelled-by={labels}")
    if acc.description:
        parts.append(f"description={acc.description!r}")
    states = [pyatspi.stateToString(st) for st in acc.getState().getStates()]
    parts.append("states=" + ",".join(sorted(states)))
    return " ".join(parts)


def labels_of(pyatspi, acc):
    names = []
    for relation in acc.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            for i in range(relation.getNTargets()):
                target = relation.getTarget(i)
                if target.getRole() == pyatspi.ROLE_LABEL:
                    names.append(target.name)
    return names


def descendants(pyatspi, root, role):
    return pyatspi.findAllDescendants(root, lambda a: a is not None and a.getRole() == role)


def find_app(pyatspi):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name.lower() == "marulet":
            return app
    return None


def main():
    reason = missing_tools()
    if reason:
        print(f"e2e: skipped: {reason}")
        sys.exit(SKIP)

    with session(sys.argv[1]) as s:
        start_buses(s)
        import pyatspi
        from gi.repository import GLib

        heard = []

        def listen(event):
            heard.append((event.type, event.source.name if event.source else "",
                          event.source.getRoleName() if event.source else ""))

        for kind in ("object:property-change:accessible-name", "object:state-changed:focused",
                     "focus:"):
            pyatspi.Registry.registerEventListener(listen, kind)

        def pump(seconds):
            """Lets the bus deliver events for a while."""
            context = GLib.MainContext.default()
            end = time.monotonic() + seconds
            while time.monotonic() < end:
                while context.iteration(False):
                    pass
                time.sleep(0.02)

        s.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        s.env["QT_ACCESSIBILITY"] = "1"
        start_program(s, "[General]\nLanguage=ja\n")
        app = wait_until(lambda: find_app(pyatspi), 20, "the program on the AT-SPI bus")
        log(f"on the accessibility bus as {app.name!r}")
        pump(0.5)

        # 1. The sound dialog, by its menu's access keys.
        s.xdo("key", "alt+o", "s")
        dialog = wait_until(lambda: next(iter(
            d for d in descendants(pyatspi, app, pyatspi.ROLE_DIALOG)
            if d.name == "サウンド/パラメータ" and d.getState().contains(pyatspi.STATE_SHOWING)),
            None), 10, "the sound dialog in the tree")
        sliders = {sl.name: sl for sl in descendants(pyatspi, dialog, pyatspi.ROLE_SLIDER)}
        for sl in sliders.values():
            log("sound dialog: " + describe(pyatspi, sl))
        assert set(sliders) == {"音量", "到達距離", "高まり速度"}, f"sliders named {sorted(sliders)}"
        speed = sliders["高まり速度"].queryValue()
        assert abs(speed.currentValue - 1.0) < 1e-9, f"rising speed reads {speed.currentValue}"
        assert (speed.minimumValue, speed.maximumValue) == (0.5, 8.0)
        # A screen reader prints as many decimals as the step has: 1.0, as shown.
        assert abs(speed.minimumIncrement - 0.1) < 1e-9, speed.minimumIncrement
        assert sliders["音量"].queryValue().currentValue == 90
        lists = descendants(pyatspi, dialog, pyatspi.ROLE_COMBO_BOX)
        labelled = {}
        for combo in lists:
            log("sound dialog: " + describe(pyatspi, combo))
            for name in labels_of(pyatspi, combo):
                labelled[name] = combo
        expected = {"デバイス", "音色1", "音色2", "音色3", "音色4", "反応パターン"}
        assert expected <= set(labelled), f"lists labelled {sorted(labelled)}"
        assert len({id(labelled[n]) for n in expected}) == 6, "two captions label one list"
        assert labelled["音色2"].description == "MIDI チャンネル 2", labelled["音色2"].description
        log("the sound dialog's sliders and lists are found by their captions")
        s.xdo("key", "Escape")  # it hides
        wait_until(lambda: not dialog.getState().contains(pyatspi.STATE_SHOWING), 10,
                   "the dialog to close")

        # 2. The field: a list of 49 pieces.
        frame = next(f for f in app if f is not None and f.getRole() == pyatspi.ROLE_FRAME)
        field = wait_until(lambda: next(iter(
            f for f in descendants(pyatspi, frame, pyatspi.ROLE_LIST) if f.name == "駒"), None),
            10, "the field's list")
        pieces = [field.getChildAtIndex(i) for i in range(field.childCount)]
        assert len(pieces) == 49, f"the field lists {len(pieces)} pieces"
        assert all(p.getRole() == pyatspi.ROLE_LIST_ITEM for p in pieces)
        assert pieces[0].name == "駒1、休止中", pieces[0].name
        log(f"the field lists {len(pieces)} pieces")

        # 3. The keyboard alone: to the piece right of the second, then excite.
        quiet = record_rms(s, 1.0)
        assert quiet < 0.0001, f"sound before any piece was excited: RMS {quiet}"
        wait_until(lambda: find_window(s.dpy), 10, "the main window again")
        pump(0.5)
        heard.clear()
        s.xdo("key", "--delay", 150, "Right", "Right", "Down")
        pump(1.0)
        focused = wait_until(lambda: next(iter(
            p for p in pieces if p.getState().contains(pyatspi.STATE_FOCUSED)), None), 10,
            "a focused piece")
        assert focused.name == "駒10、休止中", f"the keys led to {focused.name!r}"
        assert any(kind.startswith("object:state-changed:focused") and name == focused.name
                   for kind, name, _ in heard), f"no focus event for the piece: {heard}"
        s.xdo("key", "--delay", 100, "space", "space", "space")
        pump(1.0)
        log("a piece: " + describe(pyatspi, focused))
        assert focused.name == "駒10、演奏中", f"after Space it reads {focused.name!r}"
        assert focused.getState().contains(pyatspi.STATE_ANIMATED)
        told = [name for kind, name, role in heard
                if kind.startswith("object:property-change:accessible-name")]
        assert "駒10、演奏中" in told, f"names announced: {told}"
        log(f"announced: {told[-1]!r}")

        # Three presses at rising speed 1.0: the first note within 5 s.
        time.sleep(4.0)
        loud = record_rms(s, 4.0)
        log(f"after Space: RMS {loud}")
        assert loud > 0.0003, "no notes heard after exciting a piece with the keyboard"
        pump(0.5)
        log("a piece after its note: " + describe(pyatspi, focused))
        assert focused.name.startswith("駒10、音色4、"), focused.name
        print("e2e: 1 passed, 0 failed")


if __name__ == "__main__":
    main()
