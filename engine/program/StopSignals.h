// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QObject>
#include <csignal>

class QSocketNotifier;

// SIGTERM (logging out, a service manager), SIGINT (Ctrl+C) and SIGHUP (the
// terminal went away), delivered as a Qt signal on the thread that made this
// object: the handler only writes the signal's number into a pipe, and a
// socket notifier reads it from the event loop. Only one may exist at a time;
// destroying it puts the previous handlers back.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // False when the pipe could not be made; the signals then keep their defaults.
    bool active() const { return m_notifier != nullptr; }
    // Puts the previous handlers back now, so that a second signal while the
    // first one's saving hangs ends the process as it would have.
    void release();

signals:
    void received(int signalNumber);

private:
    void drain();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_previous[3]{};
    bool m_installed = false;
};
