// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/settings/RegularFile.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString kindReason(mode_t mode) {
    if (S_ISFIFO(mode))
        return QCoreApplication::translate("RegularFile", "it is a named pipe, not a regular file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QCoreApplication::translate("RegularFile", "it is a device, not a regular file");
    if (S_ISSOCK(mode))
        return QCoreApplication::translate("RegularFile", "it is a socket, not a regular file");
    if (S_ISDIR(mode))
        return QCoreApplication::translate("RegularFile", "it is a folder, not a file");
    return QCoreApplication::translate("RegularFile", "it is not a regular file");
}

QString tooLarge(qint64 size, qint64 limit) {
    const auto mb = [](qint64 bytes) { return QString::number(double(bytes) / 1048576.0, 'f', 1); };
    return QCoreApplication::translate("RegularFile",
                                       "it is %1 MB, more than the %2 MB such a file may have")
        .arg(mb(size), QString::number(limit / 1048576));
}

QString openReason(int error) {
    if (error == EACCES || error == EPERM)
        return QCoreApplication::translate("RegularFile", "there is no permission to read it");
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

RegularFile openRegularFile(const QString& path, qint64 maxBytes) {
    RegularFile result;
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    // Look before opening: opening a device can have effects of its own.
    if (path.isEmpty() || ::stat(name.constData(), &st) != 0) {
        result.error = path.isEmpty() ? ENOENT : errno;
        if (result.error != ENOENT && result.error != ENOTDIR)
            result.reason = openReason(result.error);
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.reason = kindReason(st.st_mode);
        return result;
    }
    // O_NONBLOCK: should a pipe take the file's place meanwhile, open() still returns.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        result.error = errno;
        result.reason = openReason(result.error);
        return result;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.reason = kindReason(st.st_mode);
        ::close(fd);
        return result;
    }
    if (maxBytes >= 0 && st.st_size > maxBytes) {
        result.reason = tooLarge(st.st_size, maxBytes);
        ::close(fd);
        return result;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    result.fd = fd;
    result.size = st.st_size;
    return result;
}

QString notRegularReason(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return {};
    return kindReason(st.st_mode);
}
