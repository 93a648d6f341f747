// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/About.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(AboutBox, VersionLineRunsMinorAndBuildTogether) {
    EXPECT_EQ(TAboutBox::versionLine(1, 1, 0), QStringLiteral("Version 1.10"));
    EXPECT_EQ(TAboutBox::versionLine(1, 2, 3), QStringLiteral("Version 1.23"));
    EXPECT_EQ(TAboutBox::versionLine(2, 0, 12), QStringLiteral("Version 2.012"));
    EXPECT_EQ(TAboutBox::versionLine(65535, 65535, 65535),
              QStringLiteral("Version 65535.6553565535"));
}

TEST(AboutBox, EveryShowComposesTheLineAndEnterClosesWithOk) {
    TAboutBox box;
    EXPECT_EQ(box.Version->text(), QStringLiteral("Version")); // until first shown
    EXPECT_TRUE(box.OKButton->isDefault());
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        box.Version->setText(QStringLiteral("stale"));
        box.show();
        EXPECT_EQ(box.Version->text(), QStringLiteral("Version 1.10"));
        EXPECT_EQ(box.size(), QSize(298, 166));
        const QPoint off = box.frameGeometry().center() - box.screen()->geometry().center();
        EXPECT_LE(off.manhattanLength(), 2); // centred on the screen
        QTest::keyClick(&box, Qt::Key_Return);
        EXPECT_FALSE(box.isVisible());
        EXPECT_EQ(box.result(), QDialog::Accepted);
    }
}

} // namespace
