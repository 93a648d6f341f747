#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers
"""Two minutes of isolated notes recorded as a user records them, to a MIDI
file and a WAV file side by side, on a private X server and PulseAudio.

Every note of the WAV file must sit on the 50 ms grid of the output's own
frames for the whole two minutes: FluidSynth starts a note at the edge of
one of its 64-frame blocks, and at 48 kHz a tick is 37.5 blocks, so the
onsets take two phases 0.67 ms apart, and no others. A timeline that steps
(a correction that moves the following notes by a block) shows as a third
phase or more. Each note's onset is measured less its own attack, found by
rendering the recorded MIDI file's notes offline with FluidSynth's
command-line player. And every note lies as many ticks after the first as
the MIDI file says.

Usage: grid.py PATH-TO-MARULET [SECONDS]
"""
import os
import sys
import time

import mido

from harness import (ISOLATED_NOTES, ISOLATED_PIECES, Menu, attack_delays, ctrl_click,
                     field_origin, log, note_onsets, phase_arc_ms, phases_ms, piece_centre,
                     session, start_program, wav_mono)

def absolute(midi):
    """The MIDI file's messages with their times in seconds from its start."""
    t = 0.0
    for m in mido.MidiFile(midi):
        t += m.time
        yield m.copy(time=t)


def main():
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 120.0
    failures = []
    with session(sys.argv[1]) as s:
        app, win = start_program(s, ISOLATED_NOTES)
        origin = field_origin(s, win)
        menu = Menu(s, origin)
        midi = os.path.join(s.tmp, "grid.mid")
        wav = os.path.join(s.tmp, "grid.wav")
        menu.start_recording(midi, wav)
        end = time.monotonic() + seconds
        clicks = 0
        while time.monotonic() < end:
            piece = ISOLATED_PIECES[clicks % len(ISOLATED_PIECES)]
            ctrl_click(s, *piece_centre(origin, piece))
            clicks += 1
            time.sleep(1.3 + (clicks % 7) * 0.011)
        time.sleep(2.5)  # the last note fires and fades
        menu.stop_recording()
        s.stop(app)

        samples, rate = wav_mono(wav)
        heard = note_onsets(samples, rate)
        delays = attack_delays(midi, s.tmp, rate)
        times = [m.time for m in absolute(midi) if m.type == "note_on" and m.velocity > 0]
        log(f"{clicks} clicks; {len(heard)} notes in the WAV file ({len(samples) / rate:.1f} s at "
            f"{rate} Hz), {len(times)} in the MIDI file")
        if delays is None or len(heard) != len(delays) or len(heard) < clicks * 0.9:
            failures.append(f"{len(heard)} notes recorded to WAV, {len(times)} to MIDI, for "
                            f"{clicks} clicks")
        else:
            onsets = [h - d for h, d in zip(heard, delays)]
            frames = [o - onsets[0] for o in onsets]
            arc = phase_arc_ms(frames, rate=rate)
            log("phases on the WAV file's grid, less each note's attack (ms): " + " ".join(
                f"{p:.2f}" for p in phases_ms(frames, rate=rate)))
            log(f"all {len(frames)} notes of the WAV file within {arc:.2f} ms of its 50 ms grid")
            if arc > 1.0:
                failures.append(f"notes spread over {arc:.2f} ms of the grid: the timeline "
                                f"stepped")
            tick = rate // 20
            apart = [(round(f / tick), round((t - times[0]) / 0.05)) for f, t in zip(frames, times)]
            moved = [(i, a) for i, a in enumerate(apart) if a[0] != a[1]]
            log(f"ticks between notes as heard and as in the MIDI file differ for {len(moved)} "
                f"notes")
            if moved:
                failures.append(f"note {moved[0][0]} heard {moved[0][1][0]} ticks after the "
                                f"first, the MIDI file says {moved[0][1][1]}")
    if failures:
        for f in failures:
            log("FAIL: " + f)
        print(f"e2e: 0 passed, {len(failures)} failed")
        sys.exit(1)
    print("e2e: 1 passed, 0 failed")


if __name__ == "__main__":
    main()
