// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>

// Lets one copy of the program run per user: an exclusive lock on a file
// named after the guard. The system drops the lock when the process ends, so
// a copy that crashed leaves nothing stale behind.
class InstanceGuard {
public:
    explicit InstanceGuard(const QString& name);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // False when another copy holds the lock. When the lock file cannot be
    // made at all the program runs anyway.
    bool acquired() const { return m_acquired; }
    void release();

    // The lock file: in $XDG_RUNTIME_DIR, else in /tmp with the user id.
    static QString lockPath(const QString& name);

private:
    int m_fd = -1;
    bool m_acquired = false;
};
