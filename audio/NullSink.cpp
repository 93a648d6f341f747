// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/NullSink.h"

#include <poll.h>

QString NullSink::open(int preferredRate) {
    m_rate = preferredRate;
    setPaused(false);
    return {};
}

bool NullSink::wait(int timeoutMs, int wakeFd) {
    pollfd fd{wakeFd, POLLIN, 0};
    ::poll(&fd, 1, timeoutMs);
    return true;
}

std::int64_t NullSink::played(MidiTime now) const {
    return static_cast<std::int64_t>(std::chrono::duration<double>(now - m_start).count() * m_rate);
}

bool NullSink::write(const float*, std::size_t frames) {
    // A dry spell is skipped, as a card would skip it.
    m_written = std::max(m_written, played(MidiClock::now()));
    m_written += static_cast<std::int64_t>(frames);
    return true;
}

std::optional<AudioSink::Queue> NullSink::takeQueue() {
    const MidiTime now = MidiClock::now();
    return Queue{std::max<std::int64_t>(0, m_written - played(now)), now};
}

void NullSink::setPaused(bool) {
    m_start = MidiClock::now();
    m_written = 0;
}
