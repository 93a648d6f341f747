// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QApplication>

// The application object: an error that escapes an event handler is shown in
// a message box with its text, and the program goes on.
class MaruletApplication : public QApplication {
    Q_OBJECT
public:
    MaruletApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows an error's message in the standard error box.
    static void showError(const QString& message);
};
