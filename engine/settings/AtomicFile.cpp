// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/settings/AtomicFile.h"

#include "engine/settings/WriteAll.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The cause of a failed write in the user's terms; inFolder: the failure was
// in making a new file in the folder rather than in writing the file itself.
QString systemReason(int error, bool inFolder = false) {
    switch (error) {
    case EROFS:
        return QCoreApplication::translate("AtomicFile", "the file system is read-only");
    case EACCES:
    case EPERM:
        return inFolder ? QCoreApplication::translate(
                              "AtomicFile", "there is no permission to write in its folder")
                        : QCoreApplication::translate("AtomicFile",
                                                      "there is no permission to write the file");
    case ENOSPC:
        return QCoreApplication::translate("AtomicFile", "the disk is full");
    case EDQUOT:
        return QCoreApplication::translate("AtomicFile", "the disk quota is used up");
    case EFBIG:
        return QCoreApplication::translate("AtomicFile",
                                           "the file is larger than the system allows");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

// Temporary files are named ".<name>.<pid>.<n>.tmp"; one left behind by a
// process that died mid-save is removed by the next save of the same file.
QByteArray tempPrefix(const QByteArray& name) {
    return "." + name + ".";
}

void removeStaleTemps(const QByteArray& dir, const QByteArray& name) {
    DIR* folder = ::opendir(dir.constData());
    if (!folder) return;
    const QByteArray prefix = tempPrefix(name);
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(folder)) {
        const QByteArray entryName(entry->d_name);
        if (!entryName.startsWith(prefix) || !entryName.endsWith(".tmp")) continue;
        const QByteArray rest = entryName.mid(prefix.size());
        bool ok = false;
        const long pid = rest.left(rest.indexOf('.')).toLong(&ok);
        if (!ok || pid <= 0 || pid == self) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH)
            ::unlink((dir + "/" + entryName).constData());
    }
    ::closedir(folder);
}

bool hasWriteBit(const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// Where a chain of symbolic links at path ends: a settings file kept in a
// dotfiles folder is saved there, and the link stays. A link to a pipe, a
// socket or a device, or a chain that loops, is left to be replaced.
QByteArray savedPlace(const QByteArray& path) {
    QByteArray place = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(place.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            const bool usable =
                ::stat(place.constData(), &st) == 0 ? S_ISREG(st.st_mode) : errno == ENOENT;
            return usable ? place : path;
        }
        QByteArray target(static_cast<qsizetype>(PATH_MAX), '\0');
        const ssize_t length = ::readlink(place.constData(), target.data(), PATH_MAX);
        if (length <= 0 || length >= PATH_MAX) return path;
        target.truncate(length);
        const QString next = QDir::cleanPath(
            QFileInfo(QFile::decodeName(place)).dir().absoluteFilePath(QFile::decodeName(target)));
        place = QFile::encodeName(next);
    }
    return path;
}

} // namespace

bool writeFileAtomically(const QString& path, std::string_view bytes, QString& error) {
    const auto fail = [&](const QString& reason) {
        error = QCoreApplication::translate(
                    "AtomicFile", "Cannot save %1: %2. The file keeps its previous content.")
                    .arg(QDir::toNativeSeparators(path), reason);
        return false;
    };
    const QFileInfo info(path);
    if (path.isEmpty() || info.fileName().isEmpty()) {
        error = QCoreApplication::translate(
            "AtomicFile", "Cannot save: no file name was given. Nothing was written.");
        return false;
    }

    const QFileInfo place(
        QFile::decodeName(savedPlace(QFile::encodeName(info.absoluteFilePath()))));
    const QString dirPath = place.absolutePath();
    const QByteArray dir = QFile::encodeName(dirPath);
    const QByteArray name = QFile::encodeName(place.fileName());
    const QByteArray target = dir + "/" + name;

    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    bool regular = false;
    if (exists) {
        struct stat self {};
        if (S_ISDIR(old.st_mode))
            return fail(
                QCoreApplication::translate("AtomicFile", "a folder of that name is in the way"));
        if (::lstat(target.constData(), &self) == 0 &&
            (S_ISCHR(self.st_mode) || S_ISBLK(self.st_mode)))
            return fail(
                QCoreApplication::translate("AtomicFile", "a device of that name is in the way"));
        // A pipe, a socket or a link to a device was never read as this file:
        // a regular file takes its place.
        regular = S_ISREG(old.st_mode);
        if (regular && !hasWriteBit(old))
            return fail(QCoreApplication::translate("AtomicFile", "the file is read-only"));
        if (regular && ::access(target.constData(), W_OK) != 0) return fail(systemReason(errno));
    }
    struct stat folder {};
    if (::stat(dir.constData(), &folder) != 0) {
        if (!QDir().mkpath(dirPath) || ::stat(dir.constData(), &folder) != 0)
            return fail(QCoreApplication::translate("AtomicFile", "its folder cannot be created"));
    }
    if (!S_ISDIR(folder.st_mode))
        return fail(QCoreApplication::translate("AtomicFile", "its folder is not a folder"));
    if (!hasWriteBit(folder))
        return fail(QCoreApplication::translate("AtomicFile", "its folder is read-only"));
    if (::access(dir.constData(), W_OK) != 0) return fail(systemReason(errno, true));

    removeStaleTemps(dir, name);

    // A name no other save can be using: this process's id and a clock tick.
    QByteArray temp;
    int fd = -1;
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = dir + "/" + tempPrefix(name) + QByteArray::number(::getpid()) + "." +
               QByteArray::number(static_cast<qlonglong>(tick + attempt)) + ".tmp";
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return fail(systemReason(errno, true));

    const auto abandon = [&](int savedErrno, bool inFolder = false) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.constData());
        return fail(systemReason(savedErrno, inFolder));
    };
    if (regular) {
        if (::fchmod(fd, old.st_mode & 07777) != 0) return abandon(errno);
        // Saving as root keeps a user's file the user's.
        if (::geteuid() == 0 && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
            if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
                // Not fatal: the content is what matters.
            }
        }
    }
    if (!writeAll(fd, bytes)) return abandon(errno);
    if (::fsync(fd) != 0) return abandon(errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return abandon(errno);
    if (::rename(temp.constData(), target.constData()) != 0) return abandon(errno, true);

    // Make the rename itself durable; the new content is complete either way.
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}
