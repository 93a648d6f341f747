#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers
"""Records what Marulet plays, as a user would, on a private X server and
sound server.

Starts MIDI and audio recording from the File menu (its access keys M and A,
a file name typed into the save dialog), checks the window title says so,
excites a piece, stops both after a few seconds and reads the files back: the
MIDI file with mido (header, track name, the voices set up first, note-ons,
the end of the track), the WAV file with the wave module (stereo, not
silent). Then starts a MIDI recording once more and closes the program: the
file is completed, ending on the port's all-notes-off.
Only the processes started here are stopped, by their ids.

Usage: record.py PATH-TO-MARULET
"""
import array
import os
import sys
import time
import wave

import mido

from harness import (Menu, ask_to_close, excite, field_origin, log, rms, session,
                     start_program, window_title)


def check_midi(path, closed=False):
    mid = mido.MidiFile(path)
    assert mid.type in (0, 1), f"type {mid.type}"
    assert mid.ticks_per_beat == 480, f"division {mid.ticks_per_beat}"
    names = [m.name for t in mid.tracks for m in t if m.type == "track_name"]
    assert "Marulet" in names, f"track names {names}"
    for track in mid.tracks:
        assert track[-1].type == "end_of_track", "a track without its end"
    merged = list(mido.merge_tracks(mid.tracks))
    channel = [m for m in merged if not m.is_meta]
    setup = {(m.type, m.channel) for m in channel[:8]}
    want = {("program_change", c) for c in range(4)} | {("control_change", c) for c in range(4)}
    assert setup == want, f"the first events set {sorted(setup)}"
    notes = [m for m in channel if m.type == "note_on" and m.velocity > 0]
    if closed:
        tail = [m for m in channel[-16:] if m.type == "control_change" and m.control == 123]
        assert len(tail) == 16, "the file does not end on the port's all-notes-off"
    return len(notes), mid.length


def check_wav(path):
    with wave.open(path, "rb") as w:
        channels, rate, width, frames = w.getnchannels(), w.getframerate(), w.getsampwidth(), w.getnframes()
        data = w.readframes(frames)
    assert channels == 2, f"{channels} channels"
    assert width == 2, f"{width * 8}-bit samples"
    return rate, frames, rms(array.array("h", data)) / 32768


def main():
    with session(sys.argv[1]) as s:
        app, win = start_program(s)
        origin = field_origin(s, win)
        menu = Menu(s, origin)
        midi = os.path.join(s.tmp, "take.mid")
        wav = os.path.join(s.tmp, "take.wav")

        menu.start_recording(midi, wav)
        shown = window_title(s.dpy, win)
        log(f"recording; the title reads {shown!r}")
        assert "REC" in shown and shown.startswith("Marulet"), "the title does not show it"

        excite(s, origin, [24], times=3, pause=0.1)
        time.sleep(8.0)  # rates of 3 a tick fire within 5 s

        menu.stop_recording()
        assert window_title(s.dpy, win) == "Marulet", "the title still shows a recording"

        notes, length = check_midi(midi)
        log(f"MIDI file: {os.path.getsize(midi)} bytes, {length:.1f} s, {notes} note-ons")
        assert notes > 0, "no note-ons in the MIDI file"
        rate, frames, level = check_wav(wav)
        log(f"WAV file: {os.path.getsize(wav)} bytes, {frames / rate:.1f} s at {rate} Hz, "
            f"RMS {level:.5f}")

        # Closing while recording completes the file.
        again = os.path.join(s.tmp, "closing.mid")
        menu.file_item("m")
        menu.save_as(again)
        time.sleep(1.0)
        ask_to_close(s.dpy, win)
        code = app.wait(20)
        log(f"program closed with exit code {code}")
        assert code == 0
        check_midi(again, closed=True)
        log("the recording running at close was completed")
        # Judged last, so that everything else is checked either way.
        assert frames > rate, "the WAV file holds less than a second"
        assert level > 0.0003, "the WAV file is silent"
        print("e2e: 1 passed, 0 failed")


if __name__ == "__main__":
    main()
