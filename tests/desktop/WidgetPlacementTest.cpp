// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/WidgetPlacement.h"
#include "engine/placement/WindowPlacementStore.h"
#include "engine/settings/IniFile.h"

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class WidgetPlacementTest : public ::testing::Test {
protected:
    // One program run: a fresh window placed from the file, shown, then saved.
    QRect session(QSize defaultSize) {
        QWidget window;
        window.setObjectName("MaruletMainForm");
        WidgetPlacement placement(window);
        IniFile ini(path);
        LoadMainFormPos(placement, ini, placement, defaultSize.width(), defaultSize.height());
        window.show();
        QApplication::processEvents();
        const QRect shown(window.frameGeometry().topLeft(), window.size());
        SaveMainFormPos(placement, ini);
        return shown;
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("marulet.INI");
};

TEST_F(WidgetPlacementTest, PlacementDoesNotDriftFromRunToRun) {
    const QRect first = session({640, 480});
    EXPECT_EQ(first.size(), QSize(640, 480));
    for (int run = 0; run < 3; ++run)
        EXPECT_EQ(session({640, 480}), first) << "run " << run;
}

TEST_F(WidgetPlacementTest, AMaximisedWindowReportsItsNormalBounds) {
    QWidget window;
    WidgetPlacement placement(window);
    placement.setNormalGeometry(40, 30, 320, 200);
    window.show();
    QApplication::processEvents();
    placement.setWindowState(PlacedWindow::Maximised);
    QApplication::processEvents();
    ASSERT_EQ(placement.windowState(), PlacedWindow::Maximised);
    ASSERT_NE(window.size(), QSize(320, 200));

    placement.setWindowState(PlacedWindow::Normal); // the bounds hold before the change lands
    EXPECT_EQ(placement.windowState(), PlacedWindow::Normal);
    EXPECT_EQ(QRect(placement.normalLeft(), placement.normalTop(), placement.normalWidth(),
                    placement.normalHeight()),
              QRect(40, 30, 320, 200));
}

TEST_F(WidgetPlacementTest, DialogsAndFixedSizesHaveADialogFrame) {
    QDialog dialog;
    dialog.setObjectName("OptionDlg");
    QWidget fixed;
    fixed.setFixedSize(100, 100);
    QWidget sizable;
    EXPECT_TRUE(WidgetPlacement(dialog).hasDialogFrame());
    EXPECT_TRUE(WidgetPlacement(fixed).hasDialogFrame());
    EXPECT_FALSE(WidgetPlacement(sizable).hasDialogFrame());
    EXPECT_EQ(WidgetPlacement(dialog).componentName(), "OptionDlg");
    EXPECT_EQ(WidgetPlacement(sizable).componentName(), "QWidget");

    WidgetPlacement screen(sizable);
    EXPECT_GE(screen.monitorCount(), 1);
    EXPECT_GT(screen.screenWidth(), 0);
}

} // namespace
