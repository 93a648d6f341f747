// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/InstanceGuard.h"

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString InstanceGuard::lockPath(const QString& name) {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && ::access(runtime.constData(), W_OK) == 0)
        return QFile::decodeName(runtime) + QLatin1Char('/') + name;
    return QStringLiteral("/tmp/%1-%2").arg(name).arg(::getuid());
}

InstanceGuard::InstanceGuard(const QString& name) {
    const QByteArray path = QFile::encodeName(lockPath(name));
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        m_acquired = true; // no lock to be had: better to run than to refuse
        return;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        m_acquired = true;
    } else {
        ::close(m_fd);
        m_fd = -1;
    }
}

InstanceGuard::~InstanceGuard() {
    release();
}

void InstanceGuard::release() {
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
        m_fd = -1;
    }
}
