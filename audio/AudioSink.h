// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/MidiOutService.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

// Where the rendered float32 stereo frames go: a sound server's stream or a
// sound card. open() runs on a thread of its own and may be abandoned through
// cancel() from any thread; once open, every other call comes from the audio
// thread.
class AudioSink {
public:
    // How much of what was written has not been heard yet, and when that was so.
    struct Queue {
        std::int64_t frames;
        MidiTime at;
    };

    virtual ~AudioSink() = default;
    // Empty on success, else why the output could not be opened. Never waits
    // without a time limit; returns soon after cancel().
    virtual QString open(int preferredRate) = 0;
    // Thread-safe: an open in progress gives up.
    virtual void cancel() {}
    // The rate the output runs at once open: the server's or the card's own,
    // so nothing resamples.
    virtual int rate() const = 0;
    // Sleeps until the output needs attention, wakeFd becomes readable or the
    // timeout passes (-1: no timeout). False when the output has been lost.
    virtual bool wait(int timeoutMs, int wakeFd) = 0;
    // False when the output has been lost.
    virtual bool write(const float* interleavedStereo, std::size_t frames) = 0;
    // Asks for a fresh measure of the queue; takeQueue gives it once it has come.
    virtual void requestQueue() = 0;
    virtual std::optional<Queue> takeQueue() = 0;
    // True once after the output ran dry.
    virtual bool takeUnderflow() = 0;
    // Pausing drops what is queued and stops the output's clock.
    virtual void setPaused(bool paused) = 0;
    // False for the stand-in that plays into nothing.
    virtual bool audible() const { return true; }
};
