#!/usr/bin/python3
"""What recording costs, measured as a user runs the program on a private X
server and PulseAudio null sink: with a few excited pieces playing, the
program's CPU over 30 s without recording, over 60 s while recording MIDI and
audio from the File menu, and over 30 s without again; then the size and
length of the two one-minute files.

Usage: record_cost.py PATH-TO-MARULET [SECONDS-RECORDED]
"""
import os
import subprocess
import sys
import time
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import mido  # noqa: E402
from harness import Session, field_origin, find_window, measure, wait_until  # noqa: E402
from record import Menu  # noqa: E402
from Xlib import display  # noqa: E402


def cpu_percent(pid, seconds):
    return measure([pid], seconds)[0].cpu


def main():
    exe = os.path.abspath(sys.argv[1])
    recorded = float(sys.argv[2]) if len(sys.argv) > 2 else 60
    s = Session(exe)
    try:
        s.start_sound()
        s.start_display()
        dpy = display.Display(s.env["DISPLAY"])
        app = s.start([s.exe])
        win = wait_until(lambda: find_window(dpy), 20, "the main window")
        time.sleep(1.0)
        sx, sy = field_origin(s, win)
        for piece in (10, 24, 38):
            x = sx - 33 + (piece % 7) * 80 + 52
            y = sy - 33 + (piece // 7) * 80 + 52
            subprocess.run(["xdotool", "mousemove", str(x), str(y), "keydown", "ctrl",
                            "click", "1", "keyup", "ctrl"], env=s.env, check=True)
        time.sleep(5)
        menu = Menu(s, sx - 33, sy - 33)
        midi = os.path.join(s.tmp, "minute.mid")
        wav = os.path.join(s.tmp, "minute.wav")

        before = cpu_percent(app.pid, 30)
        menu.file_item("m")
        menu.save_as(midi)
        menu.file_item("a")
        menu.save_as(wav)
        during = cpu_percent(app.pid, recorded)
        menu.file_item("m")
        time.sleep(0.5)
        menu.file_item("a")
        time.sleep(1.0)
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
    finally:
        s.stop_all()


if __name__ == "__main__":
    main()
