// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "support/TestDisk.h"

#include "engine/midi/PosixDiskFile.h"

#include <cerrno>
#include <cstring>

class TestDisk::File : public DiskFile {
public:
    File(TestDisk& disk, std::unique_ptr<DiskFile> real) : m_disk(disk), m_real(std::move(real)) {}

    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        if (!m_real->writeAt(offset, bytes)) return false;
        const QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                              static_cast<qsizetype>(bytes.size()));
        {
            const std::lock_guard lock(m_disk.m_mutex);
            QByteArray& written = m_disk.m_written;
            const auto end = static_cast<qsizetype>(offset) + data.size();
            if (written.size() < end) written.resize(end, '\0');
            written.replace(static_cast<qsizetype>(offset), data.size(), data);
            if (offset < kHeaderBytes) m_disk.m_unsyncedHeader.emplace_back(offset, data);
        }
        m_disk.record("write " + std::to_string(offset) + "+" + std::to_string(bytes.size()));
        return true;
    }
    bool sync() override {
        if (!m_disk.sync()) {
            m_error = QString::fromLocal8Bit(std::strerror(EIO));
            return false;
        }
        return m_real->sync();
    }
    bool truncate(std::uint64_t size) override {
        if (!m_real->truncate(size)) return false;
        {
            const std::lock_guard lock(m_disk.m_mutex);
            m_disk.m_written.resize(static_cast<qsizetype>(size), '\0');
        }
        m_disk.record("truncate " + std::to_string(size));
        return true;
    }
    bool close() override {
        m_disk.record("close");
        return m_real->close();
    }
    QString error() const override { return m_error.isEmpty() ? m_real->error() : m_error; }

private:
    TestDisk& m_disk;
    std::unique_ptr<DiskFile> m_real;
    QString m_error;
};

DiskFileOpener TestDisk::opener() {
    return [this](const QString& path, QString& error) -> std::unique_ptr<DiskFile> {
        auto real = PosixDiskFile::create(path, error);
        if (!real) return nullptr;
        return std::make_unique<File>(*this, std::move(real));
    };
}

void TestDisk::failSync(int which) {
    const std::lock_guard lock(m_mutex);
    m_failing = which;
}

void TestDisk::stallSyncs() {
    const std::lock_guard lock(m_mutex);
    m_stall = true;
}

bool TestDisk::waitUntilStalled(std::chrono::seconds limit) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, limit, [this] { return m_stalled; });
}

void TestDisk::release() {
    {
        const std::lock_guard lock(m_mutex);
        m_stall = false;
    }
    m_changed.notify_all();
}

std::vector<std::string> TestDisk::operations() const {
    const std::lock_guard lock(m_mutex);
    return m_operations;
}

std::vector<QByteArray> TestDisk::crashImages() const {
    const std::lock_guard lock(m_mutex);
    return m_crashImages;
}

void TestDisk::record(std::string operation) {
    const std::lock_guard lock(m_mutex);
    m_operations.push_back(std::move(operation));
    QByteArray image = m_synced;
    for (const auto& [offset, data] : m_unsyncedHeader) {
        const auto end = static_cast<qsizetype>(offset) + data.size();
        if (image.size() < end) image.resize(end, '\0');
        image.replace(static_cast<qsizetype>(offset), data.size(), data);
    }
    m_crashImages.push_back(image);
}

bool TestDisk::sync() {
    {
        std::unique_lock lock(m_mutex);
        if (m_stall) {
            m_stalled = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return !m_stall; });
        }
        const bool fails = ++m_syncs == m_failing;
        if (!fails) {
            m_synced = m_written;
            m_unsyncedHeader.clear();
        }
        if (fails) {
            lock.unlock();
            record("sync failed");
            return false;
        }
    }
    record("sync");
    return true;
}
