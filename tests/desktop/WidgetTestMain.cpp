// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/AccessibleFactory.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Widget tests run without a display: Qt's offscreen platform.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A runtime folder of their own (private, as Qt wants it): no warning
    // about a missing one, and no lock shared with a copy the user runs.
    QTemporaryDir runtime;
    if (runtime.isValid()) qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication app(argc, argv);
    InstallAccessibleFactory(); // as the program's own application object does
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
