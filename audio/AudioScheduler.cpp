// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/AudioScheduler.h"

#include "audio/EmbeddedSynth.h"

#include <algorithm>
#include <cmath>

namespace {
bool later(const auto& a, const auto& b) {
    return a.frame != b.frame ? a.frame > b.frame : a.order > b.order;
}
} // namespace

AudioScheduler::AudioScheduler(EmbeddedSynth& synth, std::chrono::nanoseconds lead, int sampleRate)
    : m_synth(synth), m_lead(lead), m_rate(sampleRate), m_limiter(0.891f, sampleRate) {
    m_queue.reserve(1024);
    m_posted.reserve(1024);
    m_taken.reserve(1024);
}

void AudioScheduler::post(std::uint32_t packed, MidiTime when) {
    const std::lock_guard lock(m_postedMutex);
    m_posted.push_back({packed, when});
}

std::int64_t AudioScheduler::frameAt(MidiTime when) const {
    const double seconds = std::chrono::duration<double>(when - m_frameZero).count();
    return static_cast<std::int64_t>(std::floor(seconds * m_rate + 0.5));
}

MidiTime AudioScheduler::timeOf(std::int64_t frame) const {
    return m_frameZero + std::chrono::duration_cast<MidiClock::duration>(
                             std::chrono::duration<double>(double(frame) / m_rate));
}

bool AudioScheduler::takePosted() {
    if (m_hold) return false;
    {
        const std::lock_guard lock(m_postedMutex);
        if (m_posted.empty()) return false;
        m_taken.swap(m_posted);
    }
    for (const Posted& posted : m_taken) {
        // Applied a look-ahead early, so the note leaves the limiter on time.
        const std::int64_t frame = frameAt(posted.when + m_lead) - PeakLimiter::kLookAhead;
        m_queue.push_back({frame, m_order++, posted.packed});
        std::push_heap(m_queue.begin(), m_queue.end(), later<Event, Event>);
    }
    m_taken.clear();
    return true;
}

bool AudioScheduler::hasPosted() {
    const std::lock_guard lock(m_postedMutex);
    return !m_posted.empty();
}

void AudioScheduler::render(float* out, std::size_t frames) {
    takePosted();
    const std::int64_t end = m_position + static_cast<std::int64_t>(frames);
    float* cursor = out;
    while (m_position < end) {
        while (!m_queue.empty() && m_queue.front().frame <= m_position) {
            m_synth.send(m_queue.front().packed);
            std::pop_heap(m_queue.begin(), m_queue.end(), later<Event, Event>);
            m_queue.pop_back();
        }
        const std::int64_t next = m_queue.empty() ? end : std::min(end, m_queue.front().frame);
        const auto count = static_cast<std::size_t>(next - m_position);
        m_synth.render({cursor, 2 * count});
        cursor += 2 * count;
        m_position = next;
    }
    m_limiter.process(out, frames);
    if (m_synth.activeVoices() > 0)
        m_silentFrames = 0;
    else
        m_silentFrames += static_cast<std::int64_t>(frames);
}
