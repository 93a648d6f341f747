// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/placement/PlacedWindow.h"
#include "engine/placement/PlacementScreen.h"
#include "engine/placement/WindowPlacementStore.h"
#include "engine/settings/IniFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Bounds {
    int left, top, width, height;
    bool operator==(const Bounds&) const = default;
};

void PrintTo(const Bounds& b, std::ostream* os) {
    *os << "(" << b.left << ", " << b.top << ", " << b.width << " x " << b.height << ")";
}

// A window that only remembers what it was told.
class FakeWindow : public PlacedWindow {
public:
    FakeWindow(QString name, bool dialogFrame, Bounds bounds = {10, 20, 300, 200})
        : bounds(bounds), name(std::move(name)), dialogFrame(dialogFrame) {}

    int normalLeft() const override { return bounds.left; }
    int normalTop() const override { return bounds.top; }
    int normalWidth() const override { return bounds.width; }
    int normalHeight() const override { return bounds.height; }
    void setNormalGeometry(int left, int top, int width, int height) override {
        bounds = {left, top, width, height};
    }
    State windowState() const override { return state; }
    void setWindowState(State s) override { state = s; }
    bool hasDialogFrame() const override { return dialogFrame; }
    QString componentName() const override { return name; }
    QMargins frameMargins() const override { return frame; }

    Bounds bounds;
    QMargins frame;
    State state = Normal;
    QString name;
    bool dialogFrame;
};

// Monitors where the test puts them.
class FakeMonitors : public PlacementScreen {
public:
    explicit FakeMonitors(std::vector<Monitor> all) : all(std::move(all)) {}
    int screenWidth() const override { return all.front().full.width(); }
    int screenHeight() const override { return all.front().full.height(); }
    int monitorCount() const override { return int(all.size()); }
    std::vector<Monitor> monitors() const override { return all; }
    std::vector<Monitor> all;
};

class FakeScreen : public PlacementScreen {
public:
    FakeScreen(int width, int height, int monitors) : w(width), h(height), monitors(monitors) {}
    int screenWidth() const override { return w; }
    int screenHeight() const override { return h; }
    int monitorCount() const override { return monitors; }
    int w, h, monitors;
};

class Placement : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // A settings file holding the given [General] lines.
    void store(const QByteArray& lines) {
        ini.reset();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\n" + lines);
        file.close();
        ini = std::make_unique<IniFile>(path);
    }

    QByteArray onDisk() {
        EXPECT_TRUE(ini->flush()) << ini->lastError().toStdString();
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("marulet.INI");
    std::unique_ptr<IniFile> ini = std::make_unique<IniFile>(path);
    FakeWindow main{"MaruletMainForm", false};
    FakeScreen single{1280, 800, 1};
};

TEST_F(Placement, NewFileCentresTheDefaultSizeOnThePrimaryScreen) {
    main.state = PlacedWindow::Maximised;
    LoadMainFormPos(main, *ini, FakeScreen(1366, 768, 1), 800, 600);
    EXPECT_EQ(main.bounds, (Bounds{283, 84, 800, 600}));
    EXPECT_EQ(main.state, PlacedWindow::Normal);

    // Centring uses the size just restored, and truncates toward zero.
    store("WinWidth=1001\nWinHeight=700\n");
    LoadMainFormPos(main, *ini, FakeScreen(1366, 768, 2), 800, 600);
    EXPECT_EQ(main.bounds, (Bounds{182, 34, 1001, 700}));
}

TEST_F(Placement, MainWindowIsKeptOnASingleScreenOnly) {
    store("WinLeft=-50\nWinTop=7\n");
    LoadMainFormPos(main, *ini, single, 800, 600);
    EXPECT_EQ(main.bounds, (Bounds{0, 7, 800, 600}));
    LoadMainFormPos(main, *ini, FakeScreen(1280, 800, 2), 800, 600);
    EXPECT_EQ(main.bounds, (Bounds{-50, 7, 800, 600}));

    store("WinLeft=1000\nWinTop=300\n");
    LoadMainFormPos(main, *ini, single, 800, 600);
    EXPECT_EQ(main.bounds, (Bounds{480, 200, 800, 600}));

    // Too big for the screen: shrunk to it, whatever WinLeft says.
    for (const char* left : {"-300", "0", "5000"}) {
        store(QByteArray("WinWidth=1500\nWinHeight=900\nWinLeft=") + left + "\nWinTop=-9\n");
        LoadMainFormPos(main, *ini, single, 800, 600);
        EXPECT_EQ(main.bounds, (Bounds{0, 0, 1280, 800})) << left;
    }
}

TEST_F(Placement, MainWindowSizeFallsBackToTheDefault) {
    // Not an integer, or no size at all.
    store("WinWidth=wide\nWinHeight=0\nWinLeft=5\nWinTop=6\n");
    LoadMainFormPos(main, *ini, single, 800, 600);
    EXPECT_EQ(main.bounds, (Bounds{5, 6, 800, 600}));
    store("WinWidth=-40\nWinHeight=0x1F4\nWinLeft=5\nWinTop=6\n");
    LoadMainFormPos(main, *ini, single, 800, 600);
    EXPECT_EQ(main.bounds, (Bounds{5, 6, 800, 500}));

    // Without a default size the window keeps its own.
    store("WinWidth=640\nWinHeight=480\n");
    main.bounds = {10, 20, 300, 200};
    LoadMainFormPos(main, *ini, single, 0, -1);
    EXPECT_EQ(main.bounds, (Bounds{490, 300, 300, 200}));
}

TEST_F(Placement, AbsurdPositionsDoNotOverflow) {
    store("WinLeft=2147483647\nWinTop=-2147483648\nWinWidth=2147483647\nWinHeight=600\n");
    LoadMainFormPos(main, *ini, single, 800, 600);
    EXPECT_EQ(main.bounds, (Bounds{0, 0, 1280, 600}));
    LoadMainFormPos(main, *ini, FakeScreen(1280, 800, 3), 800, 600);
    EXPECT_EQ(main.bounds, (Bounds{0, 0, 1280, 600}));
}

TEST_F(Placement, HandEditedSizesAndPlacesNeverHideTheWindow) {
    // Beyond what X11 can show, or below the screen: shrunk to the free area
    // (a 30-pixel panel here) and brought back with the frame on the screen.
    const FakeMonitors panel({{QRect(0, 0, 1280, 800), QRect(0, 0, 1280, 770)}});
    main.frame = QMargins(1, 22, 1, 4);
    for (const auto& [lines, expected] :
         {std::pair{"WinWidth=100000\nWinHeight=70000\n", Bounds{0, 0, 1278, 744}},
          std::pair{"WinHeight=99999999\n", Bounds{240, 0, 800, 744}},
          std::pair{"WinHeight=40000\nWinTop=100\nWinLeft=30\n", Bounds{30, 30, 800, 744}},
          std::pair{"WinLeft=99999\nWinTop=99999\n", Bounds{478, 174, 800, 600}}}) {
        store(lines);
        LoadMainFormPos(main, *ini, panel, 800, 600);
        EXPECT_EQ(main.bounds, expected) << lines;
    }
}

TEST_F(Placement, TheTitleBarEndsOnAMonitorThatExistsNow) {
    // Left on a tall monitor above the primary that is gone: back on the primary.
    const QRect primary(0, 0, 1280, 800);
    const QRect tall(1280, -400, 1080, 1920);
    store("WinLeft=1400\nWinTop=-300\nWinWidth=1000\nWinHeight=1700\n");
    LoadMainFormPos(main, *ini, FakeMonitors({{primary, primary}, {tall, tall}}), 800, 600);
    EXPECT_EQ(main.bounds, (Bounds{1400, -300, 1000, 1700}));
    LoadMainFormPos(main, *ini, FakeMonitors({{primary, primary}}), 800, 600);
    EXPECT_EQ(main.bounds, (Bounds{280, 0, 1000, 800}));
    // With two monitors, a title bar hanging above every monitor is brought down.
    store("WinLeft=100\nWinTop=-50\n");
    LoadMainFormPos(main, *ini, FakeMonitors({{primary, primary}, {tall, tall}}), 800, 600);
    EXPECT_EQ(main.bounds, (Bounds{100, 0, 800, 600}));
}

TEST_F(Placement, KeepingOnScreenAgainOnceTheFrameIsKnown) {
    main.bounds = {480, 200, 800, 600}; // placed before the frame was known
    main.frame = QMargins(2, 24, 2, 2);
    KeepFormOnScreen(main, single);
    EXPECT_EQ(main.bounds, (Bounds{476, 174, 800, 600}));
    KeepFormOnScreen(main, single);
    EXPECT_EQ(main.bounds, (Bounds{476, 174, 800, 600}));
}

TEST_F(Placement, StoredStateIsRestoredAndOddValuesOpenNormal) {
    for (const auto& [stored, expected] :
         {std::pair{"0", PlacedWindow::Normal}, std::pair{"1", PlacedWindow::Minimised},
          std::pair{"2", PlacedWindow::Maximised}, std::pair{"3", PlacedWindow::Normal},
          std::pair{"-1", PlacedWindow::Normal}, std::pair{"max", PlacedWindow::Normal}}) {
        store(QByteArray("WinState=") + stored + "\n");
        main.state = PlacedWindow::Minimised;
        LoadMainFormPos(main, *ini, single, 800, 600);
        EXPECT_EQ(main.state, expected) << stored;
    }
}

TEST_F(Placement, SavingWritesTheStateAndTheNormalBounds) {
    main.bounds = {12, 34, 640, 480};
    main.state = PlacedWindow::Maximised;
    SaveMainFormPos(main, *ini);
    EXPECT_EQ(main.state, PlacedWindow::Normal);
    EXPECT_EQ(ini->ReadInteger("General", "WinState", -1), 2);

    // The next start opens maximised over those normal bounds.
    FakeWindow next("MaruletMainForm", false);
    LoadMainFormPos(next, *ini, single, 800, 600);
    EXPECT_EQ(next.bounds, (Bounds{12, 34, 640, 480}));
    EXPECT_EQ(next.state, PlacedWindow::Maximised);

    main.state = PlacedWindow::Minimised;
    SaveMainFormPos(main, *ini);
    EXPECT_EQ(ini->ReadInteger("General", "WinState", -1), 0);
    EXPECT_EQ(main.state, PlacedWindow::Normal);
}

TEST_F(Placement, DialogsStorePositionOnlyAndSizableFormsTheirSizeToo) {
    store("OptionDlgLeft=70\nOptionDlgTop=80\nOptionDlgWidth=900\nOptionDlgHeight=700\n"
          "ToolsLeft=1\nToolsTop=2\nToolsWidth=0\nToolsHeight=350\n");
    FakeWindow option("OptionDlg", true, {0, 0, 320, 240});
    LoadFormPos(option, *ini, single, 50, 60, 0, 0);
    EXPECT_EQ(option.bounds, (Bounds{70, 80, 320, 240}));
    LoadFormPos(option, *ini, single, 50, 60, 500, 500); // still a dialog frame
    EXPECT_EQ(option.bounds, (Bounds{70, 80, 320, 240}));

    FakeWindow tools("Tools", false, {0, 0, 100, 100});
    LoadFormPos(tools, *ini, single, 5, 5, 0, 400); // a default size of 0: size untouched
    EXPECT_EQ(tools.bounds, (Bounds{1, 2, 100, 100}));
    LoadFormPos(tools, *ini, single, 5, 5, 250, 400); // a stored 0 gives the default
    EXPECT_EQ(tools.bounds, (Bounds{1, 2, 250, 350}));

    FakeWindow design("DesignDlg", true, {0, 0, 300, 300});
    LoadFormPos(design, *ini, single, -100, 1100, 0, 0); // defaults, kept on screen
    EXPECT_EQ(design.bounds, (Bounds{0, 500, 300, 300}));
    LoadFormPos(design, *ini, FakeScreen(1280, 800, 2), 1300, 400, 0, 0); // on the second
    EXPECT_EQ(design.bounds, (Bounds{1300, 400, 300, 300}));
    LoadFormPos(design, *ini, FakeScreen(1280, 800, 2), -100, 1100, 0, 0); // on neither
    EXPECT_EQ(design.bounds, (Bounds{0, 500, 300, 300}));
    EXPECT_EQ(design.state, PlacedWindow::Normal);

    tools.bounds = {7, 8, 9, 10};
    SaveFormPos(tools, *ini);
    EXPECT_EQ(ini->ReadInteger("General", "ToolsWidth", -1), 9);
    EXPECT_EQ(ini->ReadInteger("General", "ToolsHeight", -1), 10);
}

TEST_F(Placement, KeysReachANewFileInTheirOrder) {
    main.bounds = {1, 2, 800, 600};
    FakeWindow option("OptionDlg", true, {51, 52, 320, 240});
    FakeWindow design("DesignDlg", true, {101, 102, 300, 300});
    SaveMainFormPos(main, *ini);
    SaveFormPos(option, *ini);
    SaveFormPos(design, *ini);

    const QByteArray text = onDisk();
    qsizetype at = text.indexOf("[General]");
    ASSERT_GE(at, 0) << text.constData();
    for (const char* line :
         {"WinState=0", "WinLeft=1", "WinTop=2", "WinWidth=800", "WinHeight=600",
          "OptionDlgLeft=51", "OptionDlgTop=52", "DesignDlgLeft=101", "DesignDlgTop=102"}) {
        const qsizetype next = text.indexOf(line, at);
        ASSERT_GT(next, at) << line << " in\n" << text.constData();
        at = next;
    }
    EXPECT_FALSE(text.contains("DlgWidth")) << text.constData();
    EXPECT_FALSE(text.contains("DlgHeight")) << text.constData();
}

} // namespace
