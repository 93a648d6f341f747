// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "engine/midi/DiskFile.h"

// A file of the local file system.
class PosixDiskFile : public DiskFile {
public:
    static std::unique_ptr<DiskFile> create(const QString& path, QString& error);
    ~PosixDiskFile() override;
    PosixDiskFile(const PosixDiskFile&) = delete;
    PosixDiskFile& operator=(const PosixDiskFile&) = delete;

    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
    bool sync() override;
    bool truncate(std::uint64_t size) override;
    bool close() override;
    QString error() const override { return m_error; }

private:
    explicit PosixDiskFile(int fd) : m_fd(fd) {}
    bool failed();

    int m_fd;
    QString m_error;
};
