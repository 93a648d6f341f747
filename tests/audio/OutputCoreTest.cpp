// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/OutputCore.h"
#include "audio/AudioOutput.h"
#include "audio/AudioScheduler.h"
#include "audio/AudioSink.h"
#include "audio/EmbeddedSynth.h"
#include "audio/NullSink.h"
#include "engine/field/TickClock.h"
#include "support/SoundAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

using sound::pack;

constexpr int kRate = 48000;
constexpr std::int64_t kFramesPerTick = 2400;
constexpr auto kLead = OutputCore::kLead;

double ms(MidiClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Records what it is sent, at the scheduler's frame; renders silence.
class RecordingSynth : public AudioScheduler::Synth {
public:
    struct Applied {
        std::int64_t frame;
        std::uint32_t packed;
    };
    void send(std::uint32_t packed) override {
        applied.push_back({scheduler->position(), packed});
        const int note = (packed >> 8) & 0x7F;
        if ((packed & 0xFFFF) == 0x7BB0)
            notes.clear();
        else if ((packed & 0xF0) == 0x90 && (packed >> 16) != 0)
            notes.insert(note);
        else if ((packed & 0xF0) == 0x80 || (packed & 0xF0) == 0x90)
            notes.erase(note);
    }
    void render(std::span<float> out) override { std::fill(out.begin(), out.end(), 0.0f); }
    bool sounding() const override { return !notes.empty(); }
    void setSampleRate(int rate) override { this->rate = rate; }

    const AudioScheduler* scheduler = nullptr;
    std::vector<Applied> applied;
    std::set<int> notes;
    int rate = kRate;
};

// An output with a clock of its own: it starts playing once its prebuffer
// is written and hears its frames `latency` later, at its true rate. Its
// queue measures are sampled when asked and come back by the next pass,
// stamped with a scripted error.
class ScriptedSink : public AudioSink {
public:
    ScriptedSink(const MidiTime& now, bool audible, double ppm = 0, int rate = kRate)
        : m_now(now), m_audible(audible), m_rate(rate), m_trueRate(rate * (1 + ppm * 1e-6)),
          m_latency(audible ? 10ms : 0ms), m_prebuffer(audible ? rate / 50 : 0) {}

    QString open(int) override { return {}; }
    int rate() const override { return m_rate; }
    bool wait(int, int) override { return true; }
    bool write(const float*, std::size_t frames) override {
        if (lost) return false;
        if (m_run && heardFrames(m_now) > double(m_written)) {
            // Ran dry: what comes now starts anew, after the prebuffer.
            m_underflow = true;
            m_run.reset();
            m_runFrom = m_written;
        }
        m_written += static_cast<std::int64_t>(frames);
        if (!m_run && m_written - m_runFrom >= m_prebuffer) m_run = m_now + m_latency;
        return true;
    }
    void requestQueue() override {
        ++requests;
        if (!m_asked) m_asked = m_now;
    }
    std::optional<Queue> takeQueue() override {
        if (!m_asked || !answering) return std::nullopt;
        const MidiTime sampled = *m_asked;
        m_asked.reset();
        MidiClock::duration error{};
        if (!stampErrors.empty()) {
            error = stampErrors.front();
            stampErrors.pop_front();
        } else if (jitter) {
            error = jitter();
        }
        ++answers;
        auto queued = double(m_written) - heardFrames(sampled);
        if (m_run && sampled - *m_run < startupClaim) queued += 2.0 * m_trueRate;
        return Queue{static_cast<std::int64_t>(std::llround(queued)), sampled + error};
    }
    bool takeUnderflow() override { return std::exchange(m_underflow, false); }
    void setPaused(bool) override {
        m_run.reset();
        m_runFrom = m_written;
        m_asked.reset();
    }
    bool audible() const override { return m_audible; }

    // When a written frame (counted from this output's first) is heard.
    MidiTime heardAt(std::int64_t frame) const {
        return *m_run + std::chrono::duration_cast<MidiClock::duration>(
                            std::chrono::duration<double>(double(frame - m_runFrom) / m_trueRate));
    }
    std::int64_t written() const { return m_written; }
    // The output's timeline jumps: it hears everything `by` later from now on.
    void slip(MidiClock::duration by) {
        *m_run += by;
        m_underflow = true;
    }

    bool lost = false;
    bool answering = true;
    // For this long after it starts, it claims two seconds more are queued.
    MidiClock::duration startupClaim{};
    int requests = 0;
    int answers = 0;
    std::deque<MidiClock::duration> stampErrors;
    std::function<MidiClock::duration()> jitter;

private:
    // Frames heard by a time; a stream not yet running counts as starting now.
    double heardFrames(MidiTime at) const {
        const MidiTime run = m_run ? *m_run : at + m_latency;
        return double(m_runFrom) + std::chrono::duration<double>(at - run).count() * m_trueRate;
    }

    const MidiTime& m_now;
    bool m_audible;
    int m_rate;
    double m_trueRate;
    MidiClock::duration m_latency;
    std::int64_t m_prebuffer;
    std::int64_t m_written = 0;
    std::int64_t m_runFrom = 0;
    std::optional<MidiTime> m_run; // when frame m_runFrom is heard
    std::optional<MidiTime> m_asked;
    bool m_underflow = false;
};

// The core with a scripted output, driven as the audio thread and the
// field's timer would: a pass at each wake the core asks for and after each
// tick; the tick's slots from the field's own tick clock.
class Rig {
public:
    explicit Rig(int outputs = 1) {
        synth.scheduler = &scheduler;
        auto standIn = std::make_unique<ScriptedSink>(now, false);
        core = std::make_unique<OutputCore>(scheduler, std::move(standIn), outputs, now);
        wakeAt = now;
    }

    // Hands over an output as the opener would.
    ScriptedSink& openOutput(int index = 0, double ppm = 0, int rate = kRate,
                             MidiClock::duration startupClaim = {}) {
        auto sink = std::make_unique<ScriptedSink>(now, true, ppm, rate);
        sink->startupClaim = startupClaim;
        ScriptedSink& handed = *sink;
        core->openDone(std::move(sink), index, {}, now);
        sink_ = &handed;
        pass();
        return handed;
    }

    void pass() {
        ++passes;
        OutputCore::Pass p;
        p.now = now;
        p.tick = lastTick;
        wakeAt = core->step(p);
    }
    // The clock runs on; the core passes at every wake it asked for.
    void runTo(MidiTime until) {
        while (wakeAt <= until) {
            now = std::max(now, wakeAt);
            pass();
        }
        now = until;
    }
    // The field's next tick: its messages stamped with its slot, then the
    // wake, unless the audio thread is held up.
    MidiTime tick(const std::vector<std::uint32_t>& messages, bool wake = true) {
        const auto delay = std::chrono::ceil<std::chrono::milliseconds>(ticks.nextDue() - now);
        const MidiTime fire = lastTick ? now + std::max(delay, 1ms) : now;
        if (wake)
            runTo(fire);
        else
            now = fire;
        const MidiTime slot = ticks.next(now);
        ticks.setPeriod(core->tickPeriod());
        for (const std::uint32_t message : messages)
            post(message, slot);
        lastTick = slot;
        if (wake) pass();
        return slot;
    }
    void post(std::uint32_t message, MidiTime when) {
        scheduler.post(message, when);
        made.push_back(message);
        if (core->paused()) pass();
    }
    // When an applied frame's sound leaves the limiter and is heard, on the
    // output playing since it was applied.
    MidiTime heard(std::int64_t frame) const {
        const std::int64_t base = scheduler.position() - sink_->written();
        return sink_->heardAt(frame + PeakLimiter::kLookAhead - base);
    }
    const RecordingSynth::Applied* applied(std::uint32_t packed) const {
        for (const auto& a : synth.applied)
            if (a.packed == packed) return &a;
        return nullptr;
    }

    MidiTime now{std::chrono::seconds(1000)};
    RecordingSynth synth;
    AudioScheduler scheduler{synth, kLead, kRate};
    std::unique_ptr<OutputCore> core;
    ScriptedSink* sink_ = nullptr;
    TickClock ticks;
    std::optional<MidiTime> lastTick;
    MidiTime wakeAt;
    int passes = 0;
    std::vector<std::uint32_t> made;
};

// A note per tick on notes that cycle, each ended two ticks later; one note
// held throughout so the output never pauses.
struct Melody {
    std::vector<std::uint32_t> at(int tick) const {
        std::vector<std::uint32_t> messages{pack(0x90, 30 + tick % 60, 100)};
        if (tick >= 2) messages.push_back(pack(0x90, 30 + (tick - 2) % 60, 0));
        return messages;
    }
};

struct TickNote {
    MidiTime slot;
    std::int64_t frame;
};

// Plays `count` ticks of the melody; gives each tick's note-on and its frame.
std::vector<TickNote> playMelody(Rig& rig, int count, int first = 0) {
    std::vector<std::pair<MidiTime, std::uint32_t>> posted;
    const std::size_t from = rig.synth.applied.size();
    for (int i = 0; i < count; ++i) {
        const auto messages = Melody().at(first + i);
        posted.emplace_back(rig.tick(messages), messages.front());
    }
    // Each note-on is the next application of its message.
    std::vector<TickNote> notes;
    std::size_t i = from;
    for (const auto& [slot, packed] : posted) {
        while (i < rig.synth.applied.size() && rig.synth.applied[i].packed != packed)
            ++i;
        if (i == rig.synth.applied.size()) break;
        notes.push_back({slot, rig.synth.applied[i++].frame});
    }
    return notes;
}

void expectOnGrid(const std::vector<TickNote>& notes, std::int64_t framesPerTick = kFramesPerTick) {
    for (std::size_t i = 1; i < notes.size(); ++i)
        ASSERT_EQ(notes[i].frame - notes[i - 1].frame, framesPerTick) << "tick " << i;
}

// --- the grid and the output's clock ----------------------------------------

TEST(OutputCoreTest, ADriftingOutputClockNeverMovesATickAndTheTicksFollowIt) {
    Rig rig;
    ScriptedSink& sink = rig.openOutput(0, 100); // 100 ppm fast
    // Answers come late by up to 0.6 ms, as a busy thread would stamp them.
    unsigned seed = 1;
    sink.jitter = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return std::chrono::duration_cast<MidiClock::duration>(
            std::chrono::microseconds((seed >> 16) % 600));
    };
    rig.tick({pack(0x90, 100, 1)});               // held throughout
    const auto notes = playMelody(rig, 20 * 180); // three minutes
    ASSERT_EQ(notes.size(), std::size_t(20 * 180));
    expectOnGrid(notes);
    double worst = 0;
    for (std::size_t i = 40; i < notes.size(); ++i)
        worst = std::max(worst, std::fabs(ms(rig.heard(notes[i].frame) - (notes[i].slot + kLead))));
    EXPECT_LT(worst, 1.0) << "the lead wandered";
    // 50 ms of the output's frames, in system time, over the last ten seconds.
    double sum = 0;
    for (int i = 0; i < 200; ++i) {
        rig.tick(Melody().at(20 * 180 + i));
        sum += std::chrono::duration<double, std::micro>(rig.core->tickPeriod()).count();
    }
    EXPECT_NEAR(sum / 200, 50000.0 / 1.0001, 0.5);
}

TEST(OutputCoreTest, OneNoisyMeasureMovesNothing) {
    Rig rig;
    ScriptedSink& sink = rig.openOutput();
    rig.tick({pack(0x90, 100, 1)});
    auto before = playMelody(rig, 200);
    const auto heardBefore = rig.heard(before.back().frame) - before.back().slot;
    const auto periodBefore = rig.core->tickPeriod();
    sink.stampErrors = {3ms};
    auto after = playMelody(rig, 100, 200);
    before.insert(before.end(), after.begin(), after.end());
    expectOnGrid(before);
    for (const auto& note : after)
        EXPECT_NEAR(ms(rig.heard(note.frame) - note.slot), ms(heardBefore), 0.02);
    EXPECT_NEAR(double((rig.core->tickPeriod() - periodBefore).count()), 0.0, 200.0)
        << "the tick period jumped";
}

TEST(OutputCoreTest, TimingRequestsThatAreNeverAnsweredAreAskedAgain) {
    Rig rig;
    ScriptedSink& sink = rig.openOutput(0, 200);
    rig.tick({pack(0x90, 100, 1)});
    playMelody(rig, 40);
    sink.answering = false;
    const int asked = sink.requests;
    playMelody(rig, 40, 40); // two seconds
    EXPECT_GE(sink.requests - asked, 3) << "a lost request stopped the measures";
    sink.answering = true;
    const int answered = sink.answers;
    const auto notes = playMelody(rig, 400, 80);
    EXPECT_GT(sink.answers - answered, 40) << "the measures did not resume";
    expectOnGrid(notes);
    EXPECT_LT(std::fabs(ms(rig.heard(notes.back().frame) - (notes.back().slot + kLead))), 0.5);
}

TEST(OutputCoreTest, AServerClaimingSecondsOfLatencyAtItsStartIsNotBelieved) {
    Rig rig;
    rig.openOutput(0, 0, kRate, 500ms);
    rig.tick({pack(0x90, 100, 1)});
    const auto notes = playMelody(rig, 60);
    ASSERT_EQ(notes.size(), 60u) << "notes were lost";
    // Once the answers make sense the grid is set from them, and held.
    int moves = 0;
    for (std::size_t i = 1; i < notes.size(); ++i)
        moves += notes[i].frame - notes[i - 1].frame != kFramesPerTick;
    EXPECT_LE(moves, 1);
    for (std::size_t i = 20; i < notes.size(); ++i)
        EXPECT_NEAR(ms(rig.heard(notes[i].frame) - notes[i].slot), ms(kLead), 0.1) << i;
}

// --- pausing, dry spells and stalls -------------------------------------------

TEST(OutputCoreTest, TheFirstNoteAfterAPauseIsHeardOnItsGrid) {
    Rig rig;
    ScriptedSink& sink = rig.openOutput();
    playMelody(rig, 20);
    rig.tick({pack(0xB0, 123, 0)}); // all notes end
    for (int i = 0; i < 80; ++i)
        rig.tick({});
    ASSERT_TRUE(rig.core->paused()) << "four silent seconds and still playing";
    // The resumed stream's first answer comes 2.5 ms late.
    sink.stampErrors = {2500us};
    const MidiTime slot = rig.tick({pack(0x90, 64, 90)});
    rig.tick({});
    const auto* first = rig.applied(pack(0x90, 64, 90));
    ASSERT_NE(first, nullptr);
    EXPECT_NEAR(ms(rig.heard(first->frame) - slot), ms(kLead), 0.1);
    const auto notes = playMelody(rig, 10, 1);
    expectOnGrid(notes);
    EXPECT_EQ(notes.front().frame - first->frame, 2 * kFramesPerTick);
}

TEST(OutputCoreTest, AfterTheOutputSlipsNotesAreHeardOnTheirTicksAgain) {
    Rig rig;
    ScriptedSink& sink = rig.openOutput();
    rig.tick({pack(0x90, 100, 1)});
    playMelody(rig, 40);
    sink.slip(7ms); // ran dry for 7 ms
    const auto notes = playMelody(rig, 10, 40);
    ASSERT_EQ(notes.size(), 10u);
    for (std::size_t i = 1; i < notes.size(); ++i)
        EXPECT_NEAR(ms(rig.heard(notes[i].frame) - notes[i].slot), ms(kLead), 0.1) << i;
}

TEST(OutputCoreTest, AStalledThreadAppliesLateControlsInOrderAndDropsStaleNotes) {
    Rig rig;
    rig.openOutput();
    rig.tick({pack(0x90, 100, 1)});
    playMelody(rig, 20);
    // Half a second without a pass: ticks go on, the volume slider moves.
    const std::size_t before = rig.synth.applied.size();
    const std::size_t madeBefore = rig.made.size();
    std::vector<std::uint32_t> volumes;
    for (int i = 0; i < 10; ++i) {
        rig.tick({pack(0x90, 20 + i, 100), pack(0x80, 20 + i, 0)}, false);
        const std::uint32_t volume = pack(0xB0, 7, 10 + i);
        rig.post(volume, rig.now + 3ms);
        volumes.push_back(volume);
    }
    const MidiTime end = rig.now;
    rig.pass();
    rig.runTo(rig.now + 100ms);

    // Everything made during the stall that was applied came in the order made.
    std::map<std::uint32_t, std::size_t> madeAt;
    for (std::size_t i = madeBefore; i < rig.made.size(); ++i)
        madeAt[rig.made[i]] = i;
    std::size_t lastMade = 0;
    std::int64_t lastFrame = 0;
    for (std::size_t i = before; i < rig.synth.applied.size(); ++i) {
        const auto found = madeAt.find(rig.synth.applied[i].packed);
        if (found == madeAt.end()) continue;
        EXPECT_GT(found->second, lastMade) << "an older message after a newer one";
        EXPECT_GE(rig.synth.applied[i].frame, lastFrame);
        lastMade = found->second;
        lastFrame = rig.synth.applied[i].frame;
    }
    // The volume ends where the slider was left, every change applied at once.
    std::uint32_t lastVolume = 0;
    for (std::size_t i = before; i < rig.synth.applied.size(); ++i)
        if ((rig.synth.applied[i].packed & 0xFFFF) == 0x07B0)
            lastVolume = rig.synth.applied[i].packed;
    EXPECT_EQ(lastVolume, volumes.back());
    const auto* firstVolume = rig.applied(volumes.front());
    ASSERT_NE(firstVolume, nullptr);
    EXPECT_LE(rig.heard(firstVolume->frame), end + 35ms) << "a late control waited";
    // Note-ons more than a tick old are dropped; their note-offs still apply.
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(rig.applied(pack(0x90, 20 + i, 100)), nullptr) << "stale note " << i;
        EXPECT_NE(rig.applied(pack(0x80, 20 + i, 0)), nullptr) << "note-off " << i;
    }
    // And the ticks after it are on a grid again.
    expectOnGrid(playMelody(rig, 20, 20));
}

TEST(OutputCoreTest, WakesOncePerTickWhilePlayingAndNotAtAllWhilePaused) {
    Rig rig;
    rig.openOutput();
    rig.tick({pack(0x90, 100, 1)});
    playMelody(rig, 20);
    const int passes = rig.passes;
    playMelody(rig, 200); // ten seconds
    EXPECT_LE(rig.passes - passes, 10 * 22);
    rig.tick({pack(0xB0, 123, 0)});
    rig.runTo(rig.now + 4s);
    ASSERT_TRUE(rig.core->paused());
    const int idle = rig.passes;
    rig.runTo(rig.now + 60s);
    EXPECT_LE(rig.passes - idle, 1);
}

TEST(OutputCoreTest, ANotePlayedByHandBetweenTicksIsNeverDropped) {
    Rig rig(1);
    rig.openOutput(0, -300); // a slow card: the ticks come a little further apart
    rig.tick({pack(0x90, 100, 1)});
    playMelody(rig, 100);
    int note = 40;
    for (const std::chrono::microseconds after :
         {100us, 500us, 10000us, 25000us, 49000us, 49900us}) {
        rig.tick({});
        rig.runTo(rig.now + after);
        const MidiTime when = rig.now;
        const std::uint32_t played = pack(0x91, note++, 100);
        rig.post(played, when);
        rig.tick({});
        rig.tick({});
        const auto* applied = rig.applied(played);
        ASSERT_NE(applied, nullptr) << "played " << ms(after) << " ms after a tick";
        EXPECT_GE(rig.heard(applied->frame), when + kLead - 100us);
        EXPECT_LE(rig.heard(applied->frame), when + kLead + OutputCore::kTick + 1ms);
    }
}

// --- outputs going and coming --------------------------------------------------

TEST(OutputCoreTest, ALostOutputIsTriedAgainWithGrowingPausesAndSwitchedBackTo) {
    Rig rig(2);
    EXPECT_EQ(rig.core->takeOpenRequest(rig.now), 2) << "both outputs tried at the start";
    EXPECT_EQ(rig.core->takeOpenRequest(rig.now), std::nullopt) << "one try at a time";
    rig.core->openDone(nullptr, -1,
                       {QStringLiteral("pulse: refused"), QStringLiteral("alsa: busy")}, rig.now);
    EXPECT_EQ(rig.core->problem(),
              QStringLiteral("no audio output (pulse: refused; alsa: busy); trying again"));
    EXPECT_EQ(rig.core->playing(), -1);
    // The stand-in keeps the ticks' time meanwhile.
    rig.tick({pack(0x90, 100, 1)});
    std::vector<MidiTime> tries;
    for (int i = 0; i < 6; ++i) {
        while (!rig.core->takeOpenRequest(rig.now))
            rig.runTo(std::max(rig.wakeAt, rig.now + 1ms));
        tries.push_back(rig.now);
        rig.core->openDone(nullptr, -1, {QStringLiteral("pulse: refused")}, rig.now);
    }
    for (std::size_t i = 2; i < tries.size(); ++i)
        EXPECT_GE(tries[i] - tries[i - 1], tries[i - 1] - tries[i - 2]);
    EXPECT_NEAR(ms(tries[5] - tries[4]), 2000, 2);
    EXPECT_LE(ms(tries[1] - tries[0]), 600);

    // The fallback answers, at a rate of its own: the synth follows it.
    while (!rig.core->takeOpenRequest(rig.now))
        rig.runTo(std::max(rig.wakeAt, rig.now + 1ms));
    ScriptedSink& alsa = rig.openOutput(1, 0, 44100);
    EXPECT_EQ(rig.core->playing(), 1);
    EXPECT_TRUE(rig.core->problem().isEmpty());
    EXPECT_EQ(rig.scheduler.sampleRate(), 44100);
    EXPECT_EQ(rig.synth.rate, 44100);
    rig.tick({pack(0x90, 100, 1)});
    const auto onAlsa = playMelody(rig, 20);
    expectOnGrid(onAlsa, 2205);
    EXPECT_NEAR(ms(rig.heard(onAlsa.back().frame) - onAlsa.back().slot), ms(kLead), 0.1);
    (void)alsa;

    // The first output is tried now and then, and taken as soon as it answers.
    MidiTime asked{};
    for (int i = 0; i < 200 && asked == MidiTime{}; ++i) {
        rig.tick({});
        if (rig.core->takeOpenRequest(rig.now) == 1) asked = rig.now;
    }
    ASSERT_NE(asked, MidiTime{}) << "the preferred output was not tried again";
    rig.openOutput(0);
    EXPECT_EQ(rig.core->playing(), 0);
    EXPECT_EQ(rig.scheduler.sampleRate(), kRate);
    rig.tick({pack(0x90, 100, 1)});
    expectOnGrid(playMelody(rig, 20));

    // Lost: the stand-in plays on, the problem says so, and it is tried again.
    rig.sink_->lost = true;
    rig.tick({pack(0x90, 101, 1)});
    EXPECT_EQ(rig.core->playing(), -1);
    EXPECT_EQ(rig.core->problem(), QStringLiteral("the sound output went away; trying again"));
    rig.runTo(rig.now + 300ms);
    EXPECT_EQ(rig.core->takeOpenRequest(rig.now), 2);
    rig.openOutput(0);
    EXPECT_TRUE(rig.core->problem().isEmpty());
    const auto back = playMelody(rig, 20, 20);
    expectOnGrid(back);
    EXPECT_NEAR(ms(rig.heard(back.back().frame) - back.back().slot), ms(kLead), 0.1);
}

} // namespace

namespace {

// --- the thread shell -------------------------------------------------------

// An output whose open never ends until it is cancelled: a sound server that
// has hung.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool opening = false;
    bool cancelled = false;
};

class HangingSink : public AudioSink {
public:
    explicit HangingSink(Gate& gate) : m_gate(gate) {}
    QString open(int) override {
        std::unique_lock lock(m_gate.mutex);
        m_gate.opening = true;
        m_gate.changed.notify_all();
        m_gate.changed.wait(lock, [this] { return m_gate.cancelled; });
        return QStringLiteral("cancelled");
    }
    void cancel() override {
        const std::lock_guard lock(m_gate.mutex);
        m_gate.cancelled = true;
        m_gate.changed.notify_all();
    }
    int rate() const override { return kRate; }
    bool wait(int, int) override { return true; }
    bool write(const float*, std::size_t) override { return true; }
    void requestQueue() override {}
    std::optional<Queue> takeQueue() override { return std::nullopt; }
    bool takeUnderflow() override { return false; }
    void setPaused(bool) override {}

private:
    Gate& m_gate;
};

TEST(AudioOutputTest, AHungOutputHoldsUpNeitherTheStartNorTheEnd) {
    EmbeddedSynth synth{QStringList{}};
    Gate gate;
    {
        AudioOutput output(synth, {QStringLiteral("hung")},
                           [&gate](const QString&) { return std::make_unique<HangingSink>(gate); });
        // Here already while the open waits, on a thread of its own.
        std::unique_lock lock(gate.mutex);
        gate.changed.wait(lock, [&gate] { return gate.opening; });
        EXPECT_FALSE(gate.cancelled);
        lock.unlock();
        output.post(pack(0x90, 60, 100), MidiClock::now());
        output.tickSent(MidiClock::now());
        EXPECT_NEAR(ms(output.tickPeriod()), 50.0, 0.1) << "the stand-in keeps the clock";
        EXPECT_TRUE(output.problem().isEmpty()) << "nothing failed yet";
        EXPECT_FALSE(output.firstTryDone());
    }
    EXPECT_TRUE(gate.cancelled) << "the open was left to run on";
}

TEST(AudioOutputTest, WithoutAWakeDescriptorAPausedThreadStillEndsAtOnce) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers check memory through a pipe of their own, which the
    // descriptor limit below denies them.
    GTEST_SKIP() << "needs descriptors the sanitizers' runtime takes";
#endif
    EmbeddedSynth synth{QStringList{}};
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    std::unique_ptr<AudioOutput> output;
    // No descriptor left: neither an eventfd nor a pipe can be made.
    rlimit none = saved;
    none.rlim_cur = 0;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
    const int probe = ::eventfd(0, 0);
    output =
        std::make_unique<AudioOutput>(synth, QStringList{QStringLiteral("none")},
                                      [](const QString&) { return std::make_unique<NullSink>(); });
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    ASSERT_LT(probe, 0);
    // Silent for a few seconds, the output rests and its thread sleeps.
    const auto give = MidiClock::now() + 20s;
    while (!output->paused() && MidiClock::now() < give)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(output->paused());
    // Nothing can wake it, so its sleeps must be short: it ends at once
    // rather than at the end of a sleep meant to last until a message.
    const MidiTime asked = MidiClock::now();
    output.reset();
    EXPECT_LT(MidiClock::now() - asked, 2s);
}

} // namespace
