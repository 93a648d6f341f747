// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/DiskFile.h"

#include <QByteArray>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

// A disk for recordings under test: real files, whose syncs can be made to
// fail or to stall until the test lets them go, and which keeps what a power
// cut could leave after every operation. Unsynced bytes may or may not be
// there after a crash, in any order; the worst case kept here has every
// unsynced write to the first bytes (the header, where lengths are) and none
// of the others.
class TestDisk {
public:
    static constexpr std::uint64_t kHeaderBytes = 22;

    DiskFileOpener opener();

    // The sync with this number (counted from 1 over every file) fails.
    void failSync(int which);
    // From now on syncs wait until release().
    void stallSyncs();
    // True once a sync is waiting, within the limit.
    bool waitUntilStalled(std::chrono::seconds limit);
    void release();

    // "write OFFSET+SIZE", "sync", "truncate SIZE", "close", in order.
    std::vector<std::string> operations() const;
    // The file a power cut could leave, after each operation.
    std::vector<QByteArray> crashImages() const;

private:
    class File;

    void record(std::string operation);
    bool sync();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_operations;
    std::vector<QByteArray> m_crashImages;
    QByteArray m_written; // the file as written
    QByteArray m_synced;  // as last synced
    std::vector<std::pair<std::uint64_t, QByteArray>> m_unsyncedHeader;
    int m_syncs = 0;
    int m_failing = 0;
    bool m_stall = false;
    bool m_stalled = false;
};
