// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/MaruletApplication.h"

#include "desktop/AccessibleFactory.h"

#include <QMessageBox>

#include <exception>

MaruletApplication::MaruletApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Marulet"));
    // No display name: Qt would add it to every window's title.
    setOrganizationName(QStringLiteral("Marulet"));
    setDesktopFileName(QStringLiteral("io.github.marulet.Marulet"));
    Q_INIT_RESOURCE(marulet); // the icon lives in a static library
    setWindowIcon(QIcon(QStringLiteral(":/marulet/icon.png")));
    InstallAccessibleFactory();
}

bool MaruletApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError(QString());
    }
    return false;
}

void MaruletApplication::showError(const QString& message) {
    // Above the window the user works in, always-on-top dialogs included.
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Marulet"), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}
