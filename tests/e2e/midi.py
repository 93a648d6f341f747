#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers
"""External MIDI through a real MIDI server, as a user meets it, on a private
X server, PulseAudio and JACK server (jackd's dummy driver, no sound card),
with jack_midi_dump as the receiving program.

1. The receiver's port is chosen in the sound dialog with the keyboard: the
   four voices' program changes and volumes arrive. Pieces excited one at a
   time: each note-on follows its pan and is ended by a note-off on the same
   channel and pitch; every message sits on the 50 ms tick grid (the jitter
   is reported). Stop all (Pieces > Stop all) ends the playing: two pieces
   excited just before it never sound. Closing sends the sixteen
   all-notes-off last, and the settings keep the port's name.
2. The next start finds the port by that name and programs it at once. In
   the sound dialog, "Marulet (仮想ポート)": a receiver connected to the port
   "Marulet:Marulet" hears the notes.
3. The receiver gone: the start says so once, plays through device 0, and
   the choice stays in the settings.
Exits 77 (skipped) where jackd or its example clients are not installed.
Only the processes started here are stopped, by their ids.

Usage: midi.py PATH-TO-MARULET
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import time

from harness import (PITCH, client_rect, excite, field_origin, find_windows, log, session,
                     start_program, wait_until)

RATE = 48000
TICK = RATE // 20  # frames in 50 ms
RECEIVER = "midi-monitor:input"
SETTINGS = ("[Param]\nReach=50\nActiveLv=8\n[Sound]\nVolume=100\n"
            "prg_00=13\nprg_01=20\nprg_02=30\nprg_03=40\n")
# A device chosen in the dialog gets each voice's program and volume in turn;
# at start the four programs come first, then the four volumes.
VOICES = [[0xC0, 12], [0xB0, 7, 100], [0xC1, 19], [0xB1, 7, 100],
          [0xC2, 29], [0xB2, 7, 100], [0xC3, 39], [0xB3, 7, 100]]
START_VOICES = [[0xC0, 12], [0xC1, 19], [0xC2, 29], [0xC3, 39],
                [0xB0, 7, 100], [0xB1, 7, 100], [0xB2, 7, 100], [0xB3, 7, 100]]
ALL_OFF = [[0xB0 + c, 123, 0] for c in range(16)]


def jack(s, *args):
    return subprocess.run(list(args), env=s.env, capture_output=True, text=True)


def start_jack(s):
    name = f"marulet-e2e-{os.getpid()}"
    s.env["JACK_DEFAULT_SERVER"] = name
    # The dummy driver keeps time by sleeping: at 64-frame (1.3 ms) cycles a
    # virtual machine's late wake-ups make its frame clock slip by whole
    # cycles, moving every later arrival; 256 frames (5.3 ms) hold.
    s.start(["jackd", "-n", name, "-d", "dummy", "-r", str(RATE), "-p", "256"])
    wait_until(lambda: jack(s, "jack_lsp").returncode == 0, 15, "the JACK server")


class Receiver:
    """jack_midi_dump: every message with the frame it arrived at."""

    def __init__(self, s):
        self.s = s
        self.path = os.path.join(s.tmp, f"dump{time.monotonic_ns()}.txt")
        self.out = open(self.path, "w")
        self.proc = s.start(["jack_midi_dump", "-a"], stdout=self.out)
        wait_until(lambda: RECEIVER in jack(s, "jack_lsp").stdout, 10, "the receiver's port")

    def stop(self):
        """Ends the receiver; gives [(frame, [bytes])] in arrival order."""
        self.proc.send_signal(signal.SIGINT)
        self.proc.wait(10)
        self.out.close()
        messages = []
        with open(self.path) as f:
            for line in f:
                m = re.match(r"\s*(\d+):((?: [0-9a-f]{2})+)", line)
                if m:
                    messages.append((int(m.group(1)), [int(b, 16) for b in m.group(2).split()]))
        return messages


def dialog_shown(s):
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^サウンド/パラメータ$"],
                          env=s.env, capture_output=True).returncode == 0


def choose_device(s, steps):
    """Opens the sound dialog (Options > Sound/Parameters), moves the device
    list down by steps entries, as a user with the keyboard, and closes it."""
    s.xdo("key", "alt+o", "s")
    wait_until(lambda: dialog_shown(s), 10, "the sound dialog")
    time.sleep(0.5)
    for _ in range(steps):
        s.xdo("key", "Down")
        time.sleep(0.3)
    s.xdo("key", "Escape")
    wait_until(lambda: not dialog_shown(s), 10, "the dialog to close")


def ini_value(s, key):
    with open(s.ini, encoding="utf-8") as f:
        m = re.search(rf"^{key}=(.*)$", f.read(), re.M)
    return m.group(1) if m else None


def check_playing(messages, width, pieces, failures):
    """The notes of isolated pieces: pan, note-on, note-off pairs, on the grid."""
    body = messages[len(VOICES):-len(ALL_OFF)]
    ons = [i for i, (_, b) in enumerate(body) if b[0] & 0xF0 == 0x90 and b[2] > 0]
    if len(ons) != len(pieces):
        failures.append(f"{len(ons)} note-ons for {len(pieces)} excited pieces")
    times = []
    for n, i in enumerate(ons):
        frame, (status, pitch, velocity) = body[i]
        channel = status & 0x0F
        if i == 0 or body[i - 1][1][:2] != [0xB0 + channel, 10]:
            failures.append(f"note-on {body[i][1]} does not follow its pan")
        elif n < len(pieces):
            # Pan follows the body's left edge across the field.
            want = (40 + PITCH * (pieces[n] % 7)) * 127 // width
            if body[i - 1][1][2] != want:
                failures.append(f"pan {body[i - 1][1][2]} for piece {pieces[n]}, not {want}")
        if channel > 3 or not 36 <= pitch <= 108 or not 80 <= velocity <= 127:
            failures.append(f"note-on {body[i][1]} outside the program's voices")
        off = next((j for j in range(i + 1, len(body))
                    if body[j][1] == [status, pitch, 0]), None)
        if off is None:
            failures.append(f"note-on {body[i][1]} is never ended")
        else:
            times.append(body[off][0])
        times.append(frame)
    others = [b for _, b in body
              if not (b[0] & 0xF0 == 0x90 or (b[0] & 0xF0 == 0xB0 and b[1] == 10))]
    if others:
        failures.append(f"unexpected messages while playing: {others}")
    if len(times) < 3:
        failures.append("too few notes to time")
        return
    # Arrivals in tick multiples. The dummy driver's frame clock runs a little
    # off the system's, so the grid is fitted (offset and tick length) first;
    # what is left is the jitter.
    times.sort()
    ticks = [round((t - times[0]) / TICK) for t in times]
    n = len(times)
    mean_k, mean_t = sum(ticks) / n, sum(times) / n
    slope = (sum((k - mean_k) * (t - mean_t) for k, t in zip(ticks, times))
             / max(1e-9, sum((k - mean_k) ** 2 for k in ticks)))
    residuals = sorted(abs(t - (mean_t + slope * (k - mean_k))) * 1000 / RATE
                       for k, t in zip(ticks, times))
    rms = (sum(r * r for r in residuals) / n) ** 0.5
    log(f"{n} note-ons and note-offs over {ticks[-1]} ticks; a tick measures "
        f"{slope * 1000 / RATE:.4f} ms of the server's clock; jitter around the fitted grid: "
        f"RMS {rms:.2f} ms, 90 % within {residuals[int(0.9 * (n - 1))]:.2f} ms, "
        f"max {residuals[-1]:.2f} ms")
    if abs(slope - TICK) > TICK * 0.005:
        failures.append(f"a tick measures {slope * 1000 / RATE:.3f} ms at the receiver")
    if residuals[-1] > 10.0:
        failures.append(f"a note arrived {residuals[-1]:.2f} ms off the 50 ms grid")


def main():
    for tool in ("jackd", "jack_midi_dump", "jack_connect", "jack_lsp"):
        if not shutil.which(tool):
            print(f"e2e: {tool} is not installed (package jackd2): skipped")
            sys.exit(77)
    failures = []
    with session(sys.argv[1]) as s:
        start_jack(s)

        # 1. Chosen in the dialog, played, stopped, closed.
        receiver = Receiver(s)
        app, win = start_program(s, SETTINGS)
        choose_device(s, 1)
        origin = field_origin(s, win)
        width = client_rect(win)[2]
        pieces = [0, 2, 4, 6, 14, 16, 18, 20]
        excite(s, origin, pieces, pause=1.2)
        time.sleep(2.5)  # the last note ends
        excite(s, origin, [30, 32])
        s.xdo("key", "alt+p", "a")  # Pieces > Stop all, long before they would sound
        time.sleep(3.0)
        s.stop(app, 15)
        messages = receiver.stop()
        got = [b for _, b in messages]
        log(f"the receiver got {len(got)} messages: "
            + " ".join("".join(f"{x:02X}" for x in b) for b in got))
        if got[:len(VOICES)] != VOICES:
            failures.append(f"choosing the port sent {got[:len(VOICES)]}, not the voices")
        if got[-len(ALL_OFF):] != ALL_OFF:
            failures.append(f"closing ended with {got[-16:]}, not the sixteen all-notes-off")
        check_playing(messages, width, pieces, failures)
        piece = [b for b in got[len(VOICES):] if b[0] & 0xF0 in (0x90, 0xB0)][:3]
        log("one excited piece: " + " ".join("".join(f"{x:02X}" for x in b) for b in piece))
        name = ini_value(s, "DriverName")
        if name != f"{RECEIVER} (JACK)":
            failures.append(f"the settings keep DriverName={name}")

        # 2. Found by name at the next start; then the own port.
        receiver = Receiver(s)
        with open(s.ini, encoding="utf-8") as f:
            kept = f.read()
        app, win = start_program(s)
        choose_device(s, 1)  # from the receiver's port to the own port, next in the list
        wait_until(lambda: "Marulet:Marulet" in jack(s, "jack_lsp").stdout, 10, "the own port")
        connected = jack(s, "jack_connect", "Marulet:Marulet", RECEIVER)
        if connected.returncode != 0:
            failures.append(f"jack_connect to the own port: {connected.stderr.strip()}")
        excite(s, field_origin(s, win), [24])
        time.sleep(3.0)
        s.stop(app, 15)
        got = [b for _, b in receiver.stop()]
        # The dialog's first showing moves the volume slider, which sends it.
        expected = START_VOICES + [[0xB0 + c, 7, 100] for c in range(4)] + ALL_OFF
        if got[:len(expected)] != expected:
            failures.append(f"the start, the dialog and leaving the port sent "
                            f"{got[:len(expected)]}, not {expected}")
        after = got[len(expected):]
        own_notes = [b for b in after if b[0] & 0xF0 == 0x90]
        log(f"through the own port: {len(own_notes)} note messages, "
            + " ".join("".join(f"{x:02X}" for x in b) for b in after[:3]))
        if len(own_notes) != 2 or own_notes[0][2] == 0 or own_notes[1][2] != 0:
            failures.append(f"the own port carried {after}, not one note and its end")
        if ini_value(s, "DriverName") != "Marulet (virtual port)":
            failures.append(f"the settings keep DriverName={ini_value(s, 'DriverName')}")

        # 3. The receiver is gone at the next start.
        app, _ = start_program(s, kept)
        wait_until(lambda: len(find_windows(s.dpy)) >= 2, 20, "a message beside the window")
        log("with the receiver gone the start says so")
        s.xdo("key", "Return")
        wait_until(lambda: len(find_windows(s.dpy)) == 1, 10, "the message to close")
        s.stop(app, 15)
        if ini_value(s, "DriverName") != f"{RECEIVER} (JACK)" or ini_value(s, "Driver") != "1":
            failures.append("the missing device's choice was not kept: "
                            f"Driver={ini_value(s, 'Driver')} "
                            f"DriverName={ini_value(s, 'DriverName')}")
    for failure in failures:
        log(f"FAILED: {failure}")
    print(f"e2e: {len(failures)} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
