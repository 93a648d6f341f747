// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "audio/AudioSink.h"

// Takes frames at the pace of the clock and plays them nowhere: stands in
// while no real output is there, so the synthesizer's timeline goes on.
class NullSink : public AudioSink {
public:
    QString open(int preferredRate) override;
    int rate() const override { return m_rate; }
    bool wait(int timeoutMs, int wakeFd) override;
    bool write(const float* interleavedStereo, std::size_t frames) override;
    void requestQueue() override {}
    std::optional<Queue> takeQueue() override;
    bool takeUnderflow() override { return false; }
    void setPaused(bool paused) override;
    bool audible() const override { return false; }

private:
    std::int64_t played(MidiTime now) const;

    int m_rate = 0;
    MidiTime m_start{};
    std::int64_t m_written = 0;
};
