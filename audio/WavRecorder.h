// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "audio/AudioTap.h"

#include <QString>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

typedef struct sf_private_tag SNDFILE;

// Records the synthesizer's output to a WAV file of 16-bit stereo. The audio
// thread only copies each block into a lock-free ring; a writer thread of
// its own empties the ring to the disk, so the audio never waits on it. The
// header is brought up to date every second, so a file cut short loses at
// most the last seconds; a write error (a full disk) stops the writing and
// keeps what was written. When the blocks stop coming for a while (the
// output paused, another device chosen), the pause is kept as silence so
// the file runs in time with what was heard. The file takes the rate of the
// first block; blocks at another rate later on (an output that came back at
// its own rate) are converted to it, so they keep their pitch and length.
class WavRecorder : public AudioTap {
public:
    // bufferSeconds: how long the disk may stall before audio is dropped.
    explicit WavRecorder(double bufferSeconds = 4.0);
    ~WavRecorder() override;
    WavRecorder(const WavRecorder&) = delete;
    WavRecorder& operator=(const WavRecorder&) = delete;

    // Creates the file (replacing one of that name) for sampleRate, the rate
    // expected of the blocks (0: not known, the synthesizer's default until
    // a block comes); the first block's own rate wins while nothing has been
    // written. False when the file cannot be made; error() says why.
    bool open(const QString& path, int sampleRate = 0);
    // Writes what is still in the ring and closes the file. The tap must no
    // longer be called. False when anything was lost.
    bool finish();
    bool isOpen() const { return m_file != nullptr; }

    // From the audio thread: never blocks. Frames that do not fit are dropped.
    void audioRendered(const float* interleavedStereo, std::size_t frames, int sampleRate) override;

    // A write failed; nothing more is written. Safe from any thread.
    bool failed() const { return m_failed.load(std::memory_order_acquire); }
    QString error() const;
    std::int64_t framesWritten() const { return m_written.load(std::memory_order_relaxed); }
    std::int64_t framesDropped() const { return m_dropped.load(std::memory_order_relaxed); }
    int sampleRate() const { return m_fileRate.load(std::memory_order_relaxed); }

private:
    void run();
    bool drain();
    bool writeSilence(std::int64_t frames);
    bool writeFrames(const float* interleaved, std::int64_t frames);
    bool follow(int rate);
    bool fits(std::int64_t frames);
    bool openFile(int sampleRate);
    void fail(const QString& why);

    double m_bufferSeconds;
    std::vector<float> m_ring; // interleaved samples; a power of two long
    std::size_t m_mask = 0;
    std::atomic<std::size_t> m_head{0}; // samples written by the audio thread
    std::atomic<std::size_t> m_tail{0}; // samples taken by the writer thread
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_failed{false};
    std::atomic<std::int64_t> m_written{0};
    std::atomic<std::int64_t> m_dropped{0};

    // What the audio thread saw besides samples, in a lock-free queue of
    // their own: before ring sample at, a pause of some seconds, and the
    // rate of the samples from there on (0: the same as before).
    struct Mark {
        std::size_t at;
        double silence;
        int rate;
    };
    std::array<Mark, 64> m_marks{};
    std::atomic<std::size_t> m_markHead{0};
    std::atomic<std::size_t> m_markTail{0};
    bool m_anyBlock = false;                     // audio thread only
    int m_blockRate = 0;                         // audio thread only
    std::chrono::steady_clock::time_point m_due; // audio thread only: the next block, unpaused

    QString m_path;
    SNDFILE* m_file = nullptr;
    std::atomic<int> m_fileRate{0};
    // The writer's: the rate of the samples it takes, and the conversion's
    // place between the last frame it had and the next.
    int m_sourceRate = 0;
    double m_phase = 0;
    std::array<float, 2> m_lastFrame{};
    std::vector<float> m_converted;
    std::thread m_writer;
    mutable std::mutex m_errorMutex;
    QString m_error;
};
