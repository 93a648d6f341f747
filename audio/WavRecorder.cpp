// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/WavRecorder.h"

#include "audio/EmbeddedSynth.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <sndfile.h>

namespace {
constexpr int kChannels = 2;
constexpr auto kPoll = std::chrono::milliseconds(100); // ten wake-ups a second
constexpr auto kHeaderEvery = std::chrono::seconds(1);
// Longer without a block than this is a pause of the output, not a late one.
constexpr auto kLongestWait = std::chrono::seconds(1);
// A WAV header counts up to 4 GB: about six and a half hours.
constexpr std::int64_t kLargestFrames = (0xFFFFFFFFll - 4096) / (2 * kChannels);
} // namespace

WavRecorder::WavRecorder(double bufferSeconds) : m_bufferSeconds(bufferSeconds) {}

WavRecorder::~WavRecorder() {
    finish();
}

bool WavRecorder::open(const QString& path, int sampleRate) {
    finish();
    if (sampleRate <= 0) sampleRate = EmbeddedSynth::kDefaultSampleRate;
    // Sized for the rate expected, the default one at least.
    const auto samples = std::bit_ceil(static_cast<std::size_t>(std::max(
        1.0, m_bufferSeconds * std::max(sampleRate, int(EmbeddedSynth::kDefaultSampleRate)) *
                 kChannels)));
    if (m_ring.size() != samples) {
        m_ring.assign(samples, 0.0f);
        m_mask = m_ring.size() - 1;
    }
    m_head.store(0);
    m_tail.store(0);
    m_blockRate = 0;
    m_stop.store(false);
    m_failed.store(false);
    m_written.store(0);
    m_dropped.store(0);
    m_markHead.store(0);
    m_markTail.store(0);
    m_anyBlock = false;
    m_sourceRate = 0;
    {
        const std::lock_guard lock(m_errorMutex);
        m_error.clear();
    }
    m_path = path;
    if (!openFile(sampleRate)) return false;
    m_writer = std::thread(&WavRecorder::run, this);
    return true;
}

bool WavRecorder::openFile(int sampleRate) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = kChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    m_file = sf_open(QFile::encodeName(m_path).constData(), SFM_WRITE, &info);
    if (!m_file) {
        fail(QString::fromLocal8Bit(sf_strerror(nullptr)));
        return false;
    }
    // Peaks above full scale are clipped, not wrapped round.
    sf_command(m_file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_command(m_file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    m_fileRate.store(sampleRate, std::memory_order_relaxed);
    return true;
}

void WavRecorder::audioRendered(const float* interleavedStereo, std::size_t frames,
                                int sampleRate) {
    if (frames == 0 || !interleavedStereo || sampleRate <= 0) return;
    const std::size_t head = m_head.load(std::memory_order_relaxed);
    const auto now = std::chrono::steady_clock::now();
    const double silence = m_anyBlock && now - m_due > kLongestWait
                               ? std::chrono::duration<double>(now - m_due).count()
                               : 0.0;
    if (silence > 0 || sampleRate != m_blockRate) {
        const std::size_t markHead = m_markHead.load(std::memory_order_relaxed);
        if (markHead - m_markTail.load(std::memory_order_acquire) >= m_marks.size()) {
            // No room to tell the writer: the block cannot go in as it is.
            m_dropped.fetch_add(static_cast<std::int64_t>(frames), std::memory_order_relaxed);
            return;
        }
        m_marks[markHead % m_marks.size()] = {head, silence,
                                              sampleRate != m_blockRate ? sampleRate : 0};
        m_markHead.store(markHead + 1, std::memory_order_release);
        m_blockRate = sampleRate;
    }
    m_anyBlock = true;
    m_due = now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                      std::chrono::duration<double>(double(frames) / sampleRate));
    const std::size_t tail = m_tail.load(std::memory_order_acquire);
    const std::size_t room = (m_ring.size() - (head - tail)) / kChannels;
    const std::size_t taken = std::min(frames, room);
    const std::size_t samples = taken * kChannels;
    const std::size_t at = head & m_mask;
    const std::size_t first = std::min(samples, m_ring.size() - at);
    std::memcpy(m_ring.data() + at, interleavedStereo, first * sizeof(float));
    std::memcpy(m_ring.data(), interleavedStereo + first, (samples - first) * sizeof(float));
    m_head.store(head + samples, std::memory_order_release);
    if (taken < frames)
        m_dropped.fetch_add(static_cast<std::int64_t>(frames - taken), std::memory_order_relaxed);
}

void WavRecorder::run() {
    auto updated = std::chrono::steady_clock::now();
    for (;;) {
        const bool stopping = m_stop.load(std::memory_order_acquire);
        if (failed()) {
            m_tail.store(m_head.load(std::memory_order_acquire), std::memory_order_release);
        } else if (drain()) {
            const auto now = std::chrono::steady_clock::now();
            if (now - updated >= kHeaderEvery) {
                sf_command(m_file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
                updated = now;
            }
        }
        if (stopping) return;
        std::this_thread::sleep_for(kPoll);
    }
}

// Writes everything the ring holds. After a failure the ring is emptied into
// nothing, so the audio thread is not told to drop.
bool WavRecorder::drain() {
    std::size_t tail = m_tail.load(std::memory_order_relaxed);
    const std::size_t head = m_head.load(std::memory_order_acquire);
    const auto giveUp = [&] {
        m_tail.store(head, std::memory_order_release);
        return false;
    };
    while (tail != head) {
        // A mark acts before the samples that came after it.
        std::size_t until = head;
        const std::size_t markTail = m_markTail.load(std::memory_order_relaxed);
        if (markTail != m_markHead.load(std::memory_order_acquire)) {
            const Mark& mark = m_marks[markTail % m_marks.size()];
            if (mark.at <= tail) {
                if (mark.rate > 0 && !follow(mark.rate)) return giveUp();
                if (mark.silence > 0 &&
                    !writeSilence(std::llround(mark.silence * m_fileRate.load())))
                    return giveUp();
                m_markTail.store(markTail + 1, std::memory_order_release);
                continue;
            }
            until = std::min(until, mark.at);
        }
        const std::size_t at = tail & m_mask;
        const std::size_t samples = std::min(until - tail, m_ring.size() - at);
        if (!writeFrames(m_ring.data() + at, static_cast<std::int64_t>(samples / kChannels)))
            return giveUp();
        tail += samples;
        m_tail.store(tail, std::memory_order_release);
    }
    return true;
}

// Samples at a new rate: the file takes it while it is empty, else they
// are converted to the file's.
bool WavRecorder::follow(int rate) {
    if (framesWritten() == 0 && rate != m_fileRate.load(std::memory_order_relaxed)) {
        sf_close(m_file);
        m_file = nullptr;
        if (!openFile(rate)) return false;
    }
    m_sourceRate = rate;
    m_phase = 0;
    m_lastFrame = {};
    return true;
}

bool WavRecorder::writeFrames(const float* interleaved, std::int64_t frames) {
    const int fileRate = m_fileRate.load(std::memory_order_relaxed);
    if (m_sourceRate > 0 && m_sourceRate != fileRate) {
        // Straight lines between frames: the case is rare and brief, and
        // keeping pitch and time is what matters. The frame before this
        // piece is number -1; m_phase is the next output's place.
        const double step = double(m_sourceRate) / fileRate;
        m_converted.clear();
        const auto frame = [&](std::int64_t i, int channel) {
            return i < 0 ? m_lastFrame[channel] : interleaved[kChannels * i + channel];
        };
        double place = m_phase;
        for (; place < double(frames - 1); place += step) {
            const auto i = static_cast<std::int64_t>(std::floor(place));
            const auto share = static_cast<float>(place - double(i));
            for (int channel = 0; channel < kChannels; ++channel)
                m_converted.push_back(frame(i, channel) +
                                      share * (frame(i + 1, channel) - frame(i, channel)));
        }
        m_phase = place - double(frames);
        if (frames > 0)
            std::copy_n(interleaved + kChannels * (frames - 1), kChannels, m_lastFrame.begin());
        interleaved = m_converted.data();
        frames = static_cast<std::int64_t>(m_converted.size() / kChannels);
    }
    if (frames == 0) return true;
    if (!fits(frames)) return false;
    const sf_count_t done = sf_writef_float(m_file, interleaved, frames);
    if (done > 0) m_written.fetch_add(done, std::memory_order_relaxed);
    if (done != frames) {
        fail(QString::fromLocal8Bit(sf_strerror(m_file)));
        return false;
    }
    return true;
}

bool WavRecorder::writeSilence(std::int64_t frames) {
    static const std::array<float, 2 * 4096> kZeros{};
    while (frames > 0) {
        const sf_count_t chunk = std::min<std::int64_t>(frames, kZeros.size() / kChannels);
        if (!fits(chunk)) return false;
        const sf_count_t done = sf_writef_float(m_file, kZeros.data(), chunk);
        if (done > 0) m_written.fetch_add(done, std::memory_order_relaxed);
        if (done != chunk) {
            fail(QString::fromLocal8Bit(sf_strerror(m_file)));
            return false;
        }
        frames -= chunk;
    }
    return true;
}

bool WavRecorder::fits(std::int64_t frames) {
    if (framesWritten() + frames <= kLargestFrames) return true;
    fail(QCoreApplication::translate("WavRecorder",
                                     "the file has reached the largest size a WAV file can have"));
    return false;
}

bool WavRecorder::finish() {
    if (m_writer.joinable()) {
        m_stop.store(true, std::memory_order_release);
        m_writer.join();
    }
    if (!m_file) return !failed();
    // Closing writes the final header; its place in the file already exists.
    if (sf_close(m_file) != 0)
        fail(QCoreApplication::translate("WavRecorder", "the file could not be closed"));
    m_file = nullptr;
    return !failed() && framesDropped() == 0;
}

QString WavRecorder::error() const {
    const std::lock_guard lock(m_errorMutex);
    return m_error;
}

void WavRecorder::fail(const QString& why) {
    {
        const std::lock_guard lock(m_errorMutex);
        if (m_error.isEmpty()) m_error = why;
    }
    m_failed.store(true, std::memory_order_release);
}
