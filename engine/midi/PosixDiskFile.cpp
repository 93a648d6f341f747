// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/midi/PosixDiskFile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
QString lastError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

std::unique_ptr<DiskFile> PosixDiskFile::create(const QString& path, QString& error) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = lastError();
        return nullptr;
    }
    return std::unique_ptr<DiskFile>(new PosixDiskFile(fd));
}

PosixDiskFile::~PosixDiskFile() {
    close();
}

bool PosixDiskFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (m_fd < 0) return false;
    const std::uint8_t* data = bytes.data();
    std::size_t size = bytes.size();
    auto at = static_cast<off_t>(offset);
    while (size > 0) {
        const ssize_t done = ::pwrite(m_fd, data, size, at);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) return failed();
        if (done == 0) {
            errno = ENOSPC;
            return failed();
        }
        data += done;
        at += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

bool PosixDiskFile::sync() {
    if (m_fd < 0) return false;
    return ::fdatasync(m_fd) == 0 || failed();
}

bool PosixDiskFile::truncate(std::uint64_t size) {
    if (m_fd < 0) return false;
    return ::ftruncate(m_fd, static_cast<off_t>(size)) == 0 || failed();
}

bool PosixDiskFile::close() {
    if (m_fd < 0) return true;
    const int fd = m_fd;
    m_fd = -1;
    // Linux releases the descriptor even when close reports an error.
    return ::close(fd) == 0 || failed();
}

bool PosixDiskFile::failed() {
    m_error = lastError();
    return false;
}
