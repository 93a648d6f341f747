#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers
"""What recording costs, measured as a user runs the program on a private X
server and PulseAudio null sink: with a few excited pieces playing, the
program's CPU over 30 s without recording, over 60 s while recording MIDI and
audio from the File menu, and over 30 s without again; then the size and
length of the two one-minute files.

Usage: record_cost.py PATH-TO-MARULET [SECONDS-RECORDED]
"""
import os
import sys
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import mido  # noqa: E402
from harness import Menu, field_origin, measure, play_a_few, session, start_program  # noqa: E402


def cpu_percent(pid, seconds):
    return measure([pid], seconds)[0].cpu


def main():
    recorded = float(sys.argv[2]) if len(sys.argv) > 2 else 60
    with session(sys.argv[1]) as s:
        app, win = start_program(s)
        origin = field_origin(s, win)
        play_a_few(s, origin)
        menu = Menu(s, origin)
        midi = os.path.join(s.tmp, "minute.mid")
        wav = os.path.join(s.tmp, "minute.wav")

        before = cpu_percent(app.pid, 30)
        menu.start_recording(midi, wav)
        during = cpu_percent(app.pid, recorded)
        menu.stop_recording()
        after = cpu_percent(app.pid, 30)

        print(f"CPU not recording: {before:.2f} % before, {after:.2f} % after (of one core)")
        print(f"CPU recording MIDI and audio over {recorded:.0f} s: {during:.2f} %")
        mid = mido.MidiFile(midi)
        notes = sum(1 for m in mido.merge_tracks(mid.tracks) if m.type == "note_on" and m.velocity)
        print(f"MIDI file: {os.path.getsize(midi)} bytes, {mid.length:.1f} s, {notes} note-ons")
        with wave.open(wav, "rb") as w:
            seconds = w.getnframes() / w.getframerate()
            print(f"WAV file: {os.path.getsize(wav)} bytes, {seconds:.1f} s, "
                  f"{w.getframerate()} Hz, {8 * w.getsampwidth()}-bit, {w.getnchannels()} channels")


if __name__ == "__main__":
    main()
