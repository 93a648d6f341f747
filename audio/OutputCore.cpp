// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/OutputCore.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

using namespace std::chrono_literals;

namespace {
// When the first frame written to a fresh timeline is heard, until measured.
constexpr auto kStartLatency = 25ms;
// Silence written to a fresh output before its latency is known: the
// stream's prebuffer, so that it starts playing; none that a held message
// could have fallen into.
constexpr auto kStartFill = 20ms;
// How long messages are held for the measures of a fresh start, and how
// often the output is asked meanwhile.
constexpr auto kHoldAtMost = 12ms;
constexpr auto kHoldPoll = 2ms;
constexpr std::size_t kHoldMeasures = 3;
// Measures while playing; one not answered by then is asked again.
constexpr auto kMeasureEvery = 250ms;
constexpr auto kMeasureGiveUp = 500ms;
// A measure that says more than this is queued beyond what was written since
// a fresh start is the server's start-up, not the stream.
constexpr auto kMostQueued = 100ms;
// Without ticks the output is kept this far ahead, short of the lead so that
// the next tick's messages still find their frames, and topped up once only
// this much is left.
constexpr auto kAhead = 40ms;
constexpr auto kFeedMargin = 20ms;
constexpr auto kMostAhead = 150ms;
// The ticks' pull towards the lead: a share of the error a tick, at most
// 25 us (500 ppm), too little for the timer's steps to be heard.
constexpr double kPull = 0.05;
constexpr auto kMaxPull = 25us;
// Further off than this, the grid is moved to the lead at once.
constexpr auto kLeadSlack = 3ms;
constexpr auto kOnGrid = 2ms;
constexpr double kRateSmoothing = 1.0 / 200; // a tick's share: ten seconds
constexpr auto kFirstRetry = 250ms;
constexpr auto kMaxBackoff = 2000ms;
// Playing on a fallback, the preferred outputs are tried this often.
constexpr auto kBetterEvery = 5s;
constexpr std::size_t kChunk = 4096;

double seconds(MidiClock::duration d) {
    return std::chrono::duration<double>(d).count();
}

MidiClock::duration fromSeconds(double s) {
    return std::chrono::duration_cast<MidiClock::duration>(std::chrono::duration<double>(s));
}
} // namespace

OutputCore::OutputCore(AudioScheduler& scheduler, std::unique_ptr<AudioSink> standIn, int outputs,
                       MidiTime now, Rendered rendered)
    : m_scheduler(scheduler), m_standIn(std::move(standIn)), m_sink(m_standIn.get()),
      m_outputs(outputs), m_rendered(std::move(rendered)), m_block(2 * kChunk),
      m_clock(scheduler.sampleRate()) {
    m_startTimes.reserve(kHoldMeasures + 1); // no allocation on the audio thread
    m_retryAt = now;
    restart(now);
}

OutputCore::~OutputCore() = default;

// A fresh timeline: the next frame written is heard after the start
// latency; an audible output holds messages back until it is measured.
void OutputCore::restart(MidiTime now) {
    m_clock.guess(m_scheduler.position(), now + kStartLatency);
    m_startPosition = m_scheduler.position();
    applyTimeline();
    m_scheduler.clearGrid();
    m_anchored.reset();
    m_measuring = false;
    m_measureAt = now;
    m_startTimes.clear();
    m_holding = m_sink->audible();
    m_holdUntil = now + kHoldAtMost;
    m_scheduler.holdPosted(m_holding);
    m_scheduler.replace();
}

void OutputCore::applyTimeline() {
    const std::int64_t here = m_scheduler.position();
    m_scheduler.setTimeline(here, m_clock.timeOf(here), m_clock.rate());
}

void OutputCore::lose(MidiTime now, const QString& why) {
    m_real.reset();
    m_sink = m_standIn.get();
    m_sink->setPaused(false); // its clock starts anew
    m_index = -1;
    m_paused = false;
    m_backoff = kFirstRetry;
    m_retryAt = now + m_backoff;
    m_problem = why + QCoreApplication::translate("AudioOutput", "; trying again");
    if (m_sink->rate() != m_scheduler.sampleRate()) m_scheduler.setSampleRate(m_sink->rate());
    m_clock.reset(m_scheduler.position(), now, m_sink->rate());
    m_rate = 0;
    restart(now);
}

void OutputCore::switchTo(std::unique_ptr<AudioSink> sink, int index, MidiTime now) {
    m_real = std::move(sink);
    m_sink = m_real.get();
    m_index = index;
    m_problem.clear();
    m_backoff = kFirstRetry;
    m_retryAt = now + kBetterEvery;
    m_paused = false;
    if (m_sink->rate() != m_scheduler.sampleRate()) m_scheduler.setSampleRate(m_sink->rate());
    // Another output, another clock.
    m_clock.reset(m_scheduler.position(), now, m_sink->rate());
    m_rate = 0;
    restart(now);
}

std::optional<int> OutputCore::takeOpenRequest(MidiTime now) {
    if (m_opening || now < m_retryAt) return std::nullopt;
    const int count = m_index < 0 ? m_outputs : m_index;
    if (count <= 0) return std::nullopt;
    m_opening = true;
    return count;
}

void OutputCore::openDone(std::unique_ptr<AudioSink> sink, int index, const QStringList& failures,
                          MidiTime now) {
    m_opening = false;
    if (sink && (m_index < 0 || index < m_index)) {
        switchTo(std::move(sink), index, now);
        return;
    }
    if (m_index >= 0) {
        // Still on a fallback that plays: the preferred ones again later.
        m_retryAt = now + kBetterEvery;
        return;
    }
    QStringList why = failures;
    if (why.isEmpty()) why << QCoreApplication::translate("AudioOutput", "none to try");
    m_problem = QCoreApplication::translate("AudioOutput", "no audio output (") +
                why.join(QStringLiteral("; ")) +
                QCoreApplication::translate("AudioOutput", "); trying again");
    m_retryAt = now + m_backoff;
    m_backoff = std::min(m_backoff * 2, kMaxBackoff);
}

void OutputCore::takeMeasure(MidiTime now) {
    if (m_measuring) {
        if (const auto queue = m_sink->takeQueue()) {
            m_measuring = false;
            const std::int64_t position = m_scheduler.position();
            const std::int64_t heard = position - queue->frames;
            // A server just started may say its sink's latency is seconds,
            // while it plays what it gets at once: far more queued than was
            // written since the start is not ours, so not trusted.
            const bool trusted =
                queue->frames <=
                position - m_startPosition + m_scheduler.sampleRate() * kMostQueued / 1000ms;
            if (trusted && m_holding) {
                m_startTimes.push_back(
                    queue->at - fromSeconds(double(heard - m_startPosition) / m_clock.rate()));
            } else if (trusted && m_clock.update(heard, queue->at)) {
                applyTimeline();
            }
        } else if (now - m_askedAt >= kMeasureGiveUp) {
            m_measuring = false; // never answered: ask again
        }
    }
    if (m_holding && (m_startTimes.size() >= kHoldMeasures || now >= m_holdUntil)) endHold();
}

// Asked after the pass's frames are written, so that a fresh stream is seen
// running.
void OutputCore::askMeasure(MidiTime now) {
    if (!m_measuring && now >= m_measureAt) {
        m_sink->requestQueue();
        m_measuring = true;
        m_askedAt = now;
        m_measureAt = now + (m_holding ? 0ms : kMeasureEvery);
    }
}

// The middle of the start's measures sets the timeline: a measure is off
// when its answer was stamped late, and one such does not count.
void OutputCore::endHold() {
    m_holding = false;
    if (!m_startTimes.empty()) {
        std::sort(m_startTimes.begin(), m_startTimes.end());
        const MidiTime start = m_startTimes[(m_startTimes.size() - 1) / 2];
        m_clock.guess(m_startPosition, start);
        m_clock.update(m_startPosition, start);
        applyTimeline();
    }
    m_scheduler.holdPosted(false);
    m_scheduler.replace();
}

// Tick n's messages go to the grid's frame plus n ticks' frames. The grid
// moves with each tick on it; a tick off it (the ticks' own grid started
// anew) or a lead gone astray sets it from the clock.
void OutputCore::followTicks() {
    if (!m_lastTick || m_holding || m_anchored == m_lastTick) return;
    const MidiTime tick = *m_lastTick;
    bool onGrid = false;
    if (m_anchored) {
        const auto since = tick - m_gridTime;
        const auto ticks = std::llround(double(since.count()) / double(m_tickPeriod.count()));
        const auto off = since - ticks * m_tickPeriod;
        if (ticks >= 1 && ticks <= 40 && off <= kOnGrid && off >= -kOnGrid) {
            m_gridFrame += ticks * m_scheduler.framesPerTick();
            onGrid = true;
        }
    }
    if (!onGrid) anchor(tick);
    m_gridTime = tick;
    m_anchored = tick;
    auto leadError = m_clock.timeOf(m_gridFrame + PeakLimiter::kLookAhead) - (tick + kLead);
    if (leadError > kLeadSlack || leadError < -kLeadSlack) {
        anchor(tick);
        leadError = m_clock.timeOf(m_gridFrame + PeakLimiter::kLookAhead) - (tick + kLead);
    }
    // Sound later than the lead: the ticks come a little later, and so on.
    const auto pull = std::clamp<MidiClock::duration>(fromSeconds(seconds(leadError) * kPull),
                                                      -kMaxPull, kMaxPull);
    // The rate the ticks follow is the loop's, averaged over some seconds
    // more: a card's drift changes over minutes, the loop's estimate by the
    // measure.
    m_rate = m_rate > 0 ? m_rate + (m_clock.rate() - m_rate) * kRateSmoothing : m_clock.rate();
    m_tickPeriod = std::chrono::duration_cast<std::chrono::nanoseconds>(
        fromSeconds(double(m_scheduler.framesPerTick()) / m_rate) + pull);
    m_scheduler.setGrid(tick, m_gridFrame, m_tickPeriod);
}

void OutputCore::anchor(MidiTime tick) {
    m_gridFrame = m_scheduler.frameAt(tick + kLead) - PeakLimiter::kLookAhead;
}

void OutputCore::render(MidiTime now) {
    std::int64_t target = m_scheduler.frameAt(now + kAhead);
    if (m_holding) {
        target = std::max(m_startPosition + m_scheduler.sampleRate() * kStartFill / 1000ms,
                          m_scheduler.frameAt(now + kHoldPoll * 4));
    } else if (m_anchored && now - *m_anchored < 2 * kTick) {
        // Up to the next tick's messages, which its wake brings.
        target = std::max(m_gridFrame + m_scheduler.framesPerTick(),
                          m_scheduler.frameAt(now + kFeedMargin));
    }
    target = std::min(target, m_scheduler.frameAt(now + kMostAhead));
    while (m_scheduler.position() < target) {
        const auto frames = static_cast<std::size_t>(
            std::min<std::int64_t>(kChunk, target - m_scheduler.position()));
        m_scheduler.render(m_block.data(), frames);
        if (m_rendered) m_rendered(m_block.data(), frames, m_scheduler.sampleRate());
        if (!m_sink->write(m_block.data(), frames)) {
            lose(now, QCoreApplication::translate("AudioOutput", "the sound output went away"));
            return;
        }
    }
}

MidiTime OutputCore::nextWake(MidiTime now) const {
    MidiTime wake = now + 1h;
    if (!m_opening && (m_index != 0 && m_outputs > 0)) wake = std::min(wake, m_retryAt);
    if (m_paused) return std::max(wake, now);
    if (m_holding) return now + kHoldPoll;
    // Before what is written runs out; a tick normally comes first.
    wake = std::min(wake, m_clock.timeOf(m_scheduler.position()) - kFeedMargin);
    return std::max(wake, now + 1ms);
}

MidiTime OutputCore::step(const Pass& pass) {
    const MidiTime now = pass.now;
    if (pass.tick) m_lastTick = pass.tick;
    if (!pass.alive && m_index >= 0)
        lose(now, QCoreApplication::translate("AudioOutput", "the sound server went away"));

    if (m_paused) {
        if (!m_scheduler.hasPosted() && !pass.tapped && !m_scheduler.hasQueued())
            return nextWake(now);
        // Messages go on the resumed timeline, not on the one that stopped
        // at the pause: that would hold them back as long.
        m_sink->setPaused(false);
        m_paused = false;
        restart(now);
    }
    // Behind the output (a stall, a dry spell): a fresh timeline before any
    // message waiting is placed, so that late ones are seen as late. A dry
    // spell told while a fresh start is measured is the one that led to it.
    const bool dry = m_sink->takeUnderflow() && !m_holding;
    if (dry || m_scheduler.position() < m_scheduler.frameAt(now)) restart(now);

    takeMeasure(now);
    followTicks();
    m_scheduler.takePosted();
    render(now);
    askMeasure(now);

    if (!pass.tapped && !m_holding && !m_scheduler.hasQueued() && !m_scheduler.hasPosted() &&
        m_scheduler.silentFrames() >
            std::chrono::seconds(kIdleAfter).count() * m_scheduler.sampleRate()) {
        m_sink->setPaused(true);
        m_paused = true;
        m_measuring = false;
        m_scheduler.clearGrid();
        m_anchored.reset();
    }
    return nextWake(now);
}
