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
phase or more. The MIDI file, rendered offline by FluidSynth's command-line
player, is the reference for which tick each note belongs to: every note
of the WAV file stays within 3 ms of where the reference puts it, once a
slow drift between the two (the sound card's clock against the system's,
on which the MIDI file is timed) is allowed for.

Usage: grid.py PATH-TO-MARULET [SECONDS]
"""
import os
import sys
import time

from harness import (ISOLATED_NOTES, ISOLATED_PIECES, Menu, ctrl_click, field_origin, log,
                     note_onsets, phase_arc_ms, phases_ms, piece_centre, render_midi, session,
                     start_program, wav_mono)

def residuals(xs, ys):
    """What is left of ys once the straight line through them (least
    squares, against xs) is taken away; and that line's slope."""
    n = len(xs)
    mx, my = sum(xs) / n, sum(ys) / n
    sxx = sum((x - mx) ** 2 for x in xs) or 1.0
    slope = sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sxx
    return [y - my - slope * (x - mx) for x, y in zip(xs, ys)], slope


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
        reference_wav = os.path.join(s.tmp, "reference.wav")
        render_midi(midi, reference_wav, rate)
        ref_samples, _ = wav_mono(reference_wav)
        reference = note_onsets(ref_samples, rate)
        log(f"{clicks} clicks; {len(heard)} notes in the WAV file ({len(samples) / rate:.1f} s at "
            f"{rate} Hz), {len(reference)} in the offline render of the MIDI file")
        if len(heard) != len(reference) or len(heard) < clicks * 0.9:
            failures.append(f"{len(heard)} notes recorded, {len(reference)} in the reference, "
                            f"for {clicks} clicks")
        else:
            arc = phase_arc_ms([h - heard[0] for h in heard], rate=rate)
            log("phases on the WAV file's grid (ms): " + " ".join(
                f"{p:.2f}" for p in phases_ms([h - heard[0] for h in heard], rate=rate)))
            log(f"all {len(heard)} notes of the WAV file within {arc:.2f} ms of its 50 ms grid")
            if arc > 1.0:
                failures.append(f"notes spread over {arc:.2f} ms of the grid: the timeline "
                                f"stepped")
            offsets = [(h - heard[0]) - (r - reference[0]) for h, r in zip(heard, reference)]
            left, slope = residuals([r - reference[0] for r in reference], offsets)
            worst = max(abs(v) for v in left) * 1000 / rate
            log(f"against the reference: drift {slope * 1e6:.1f} ppm, notes off its line by at "
                f"most {worst:.2f} ms")
            if worst > 3.0:
                failures.append(f"a note {worst:.2f} ms away from its place in the MIDI file")
    if failures:
        for f in failures:
            log("FAIL: " + f)
        print(f"e2e: 0 passed, {len(failures)} failed")
        sys.exit(1)
    print("e2e: 1 passed, 0 failed")


if __name__ == "__main__":
    main()
