// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/AudioScheduler.h"

#include "audio/EmbeddedSynth.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// A message stamped this close to a tick's slot belongs to that tick.
constexpr auto kOnGrid = std::chrono::milliseconds(2);

bool later(const auto& a, const auto& b) {
    return a.frame != b.frame ? a.frame > b.frame : a.order > b.order;
}

bool isNoteOn(std::uint32_t packed) {
    return (packed & 0xF0) == 0x90 && ((packed >> 16) & 0x7F) != 0;
}

class EmbeddedVoice : public AudioScheduler::Synth {
public:
    explicit EmbeddedVoice(EmbeddedSynth& synth) : m_synth(synth) {}
    void send(std::uint32_t packed) override { m_synth.send(packed); }
    void render(std::span<float> out) override { m_synth.render(out); }
    bool sounding() const override { return m_synth.activeVoices() > 0; }
    void setSampleRate(int rate) override { m_synth.setSampleRate(rate); }

private:
    EmbeddedSynth& m_synth;
};
} // namespace

AudioScheduler::AudioScheduler(EmbeddedSynth& synth, std::chrono::nanoseconds lead, int sampleRate)
    : m_own(std::make_unique<EmbeddedVoice>(synth)), m_synth(*m_own), m_lead(lead),
      m_rate(sampleRate), m_framesPerSecond(sampleRate), m_limiter(0.891f, sampleRate) {
    reserve();
}

AudioScheduler::AudioScheduler(Synth& synth, std::chrono::nanoseconds lead, int sampleRate)
    : m_synth(synth), m_lead(lead), m_rate(sampleRate), m_framesPerSecond(sampleRate),
      m_limiter(0.891f, sampleRate) {
    reserve();
}

void AudioScheduler::reserve() {
    m_queue.reserve(1024);
    m_replaced.reserve(1024);
    m_posted.reserve(1024);
    m_taken.reserve(1024);
}

AudioScheduler::~AudioScheduler() = default;

void AudioScheduler::post(std::uint32_t packed, MidiTime when) {
    const std::lock_guard lock(m_postedMutex);
    m_posted.push_back({packed, when});
}

void AudioScheduler::setTimeline(std::int64_t frame, MidiTime at, double framesPerSecond) {
    m_timelineFrame = frame;
    m_timelineAt = at;
    m_framesPerSecond = framesPerSecond;
}

std::int64_t AudioScheduler::frameAt(MidiTime when) const {
    const double seconds = std::chrono::duration<double>(when - m_timelineAt).count();
    return m_timelineFrame +
           static_cast<std::int64_t>(std::floor(seconds * m_framesPerSecond + 0.5));
}

MidiTime AudioScheduler::timeOf(std::int64_t frame) const {
    return m_timelineAt +
           std::chrono::duration_cast<MidiClock::duration>(
               std::chrono::duration<double>(double(frame - m_timelineFrame) / m_framesPerSecond));
}

void AudioScheduler::setGrid(MidiTime tickTime, std::int64_t frame,
                             std::chrono::nanoseconds period) {
    m_grid = true;
    m_gridTime = tickTime;
    m_gridFrame = frame;
    m_gridPeriod = period;
}

std::int64_t AudioScheduler::framesPerTick() const {
    return std::int64_t(m_rate) * kTick.count() / 1000;
}

std::int64_t AudioScheduler::placeOf(MidiTime when) const {
    if (m_grid) {
        const auto since = when - m_gridTime;
        const auto ticks = std::llround(double(since.count()) / double(m_gridPeriod.count()));
        const auto off = since - ticks * m_gridPeriod;
        if (ticks >= -4 && ticks <= 8 && off <= kOnGrid && off >= -kOnGrid)
            return m_gridFrame + ticks * framesPerTick();
    }
    // Applied a look-ahead early, so the note leaves the limiter on time.
    return frameAt(when + m_lead) - PeakLimiter::kLookAhead;
}

void AudioScheduler::place(std::uint32_t packed, MidiTime when, std::uint64_t order) {
    std::int64_t frame = placeOf(when);
    if (frame < m_position) {
        // Too late for its frame: a control still counts, a note would only
        // sound out of time.
        // A tick's worth and a little more: a note played by hand just
        // after a tick's wake may be nearly a tick late, and still wanted.
        if (isNoteOn(packed) && m_position - frame > framesPerTick() * 6 / 5) return;
        frame = m_position;
    }
    if (when >= m_lastWhen) {
        frame = std::max(frame, m_lastFrame);
        m_lastWhen = when;
        m_lastFrame = frame;
    }
    m_queue.push_back({frame, order, packed, when});
    std::push_heap(m_queue.begin(), m_queue.end(), later<Event, Event>);
}

bool AudioScheduler::takePosted() {
    if (m_hold) return false;
    {
        const std::lock_guard lock(m_postedMutex);
        if (m_posted.empty()) return false;
        m_taken.swap(m_posted);
    }
    for (const Posted& posted : m_taken)
        place(posted.packed, posted.when, m_order++);
    m_taken.clear();
    return true;
}

bool AudioScheduler::hasPosted() {
    const std::lock_guard lock(m_postedMutex);
    return !m_posted.empty();
}

void AudioScheduler::replace() {
    m_replaced.swap(m_queue);
    m_queue.clear();
    std::sort(m_replaced.begin(), m_replaced.end(),
              [](const Event& a, const Event& b) { return a.order < b.order; });
    m_lastWhen = MidiTime::min();
    m_lastFrame = m_position;
    for (const Event& event : m_replaced)
        place(event.packed, event.when, event.order);
    m_replaced.clear();
}

void AudioScheduler::setSampleRate(int rate) {
    if (rate == m_rate) return;
    m_synth.setSampleRate(rate);
    m_rate = rate;
    m_framesPerSecond = rate;
    m_limiter = PeakLimiter(m_limiter.ceiling(), rate);
    m_grid = false;
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
    if (m_synth.sounding())
        m_silentFrames = 0;
    else
        m_silentFrames += static_cast<std::int64_t>(frames);
}
