// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/settings/RecordingFolders.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(RecordingFolderRule, TheRememberedFolderThenTheMusicFolderThenHome) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString base = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(QDir(base).mkpath("takes"));
    ASSERT_TRUE(QDir(base).mkpath("Music"));
    ASSERT_TRUE(writeFile(base + "plain", "not a folder"));

    EXPECT_EQ(recordingFolderFor(base + "takes", base + "Music", "/home/u"), base + "takes");
    // Relative names would be taken from wherever the program was started:
    // here they would name existing folders, and are still passed over.
    const QString started = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(base));
    for (const QString& remembered :
         {base + "gone", base + "plain", QStringLiteral("takes"), QStringLiteral("."), QString()})
        EXPECT_EQ(recordingFolderFor(remembered, base + "Music", "/home/u"), base + "Music")
            << qPrintable(remembered);
    for (const QString& music : {base + "gone", base + "plain", QStringLiteral("Music"), QString()})
        EXPECT_EQ(recordingFolderFor(QString(), music, "/home/u"), "/home/u") << qPrintable(music);
    QDir::setCurrent(started);
}

} // namespace
