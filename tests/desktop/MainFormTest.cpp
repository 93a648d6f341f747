// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/MainForm.h"
#include "desktop/DsgnDlg.h"
#include "desktop/FieldView.h"
#include "desktop/MaruletApplication.h"
#include "desktop/OptDlg.h"
#include "engine/field/Pieces.h"
#include "engine/midi/RecordingMidiService.h"
#include "engine/midi/TMidiPort.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/SettingsRecord.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A main window over a fresh settings file and a recording MIDI device.
class MainFormTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString iniPath = dir.filePath(QStringLiteral("marulet.INI"));
    RecordingMidiService* service = nullptr;
    std::unique_ptr<TMaruletMainForm> form;

    void open(bool show = true, QStringList devices = {QStringLiteral("Recorder")}) {
        auto recorder = std::make_unique<RecordingMidiService>(std::move(devices));
        service = recorder.get();
        form = std::make_unique<TMaruletMainForm>(iniPath, std::move(recorder));
        form->createDialogs();
        if (show) {
            form->FormShow();
            form->show();
            form->field()->resize(597, 377);
        }
    }

    void writeSettings(const QByteArray& text) {
        QFile f(iniPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    ~MainFormTest() override {
        form.reset();
        QGuiApplication::restoreOverrideCursor();
    }

    FieldView& view() { return *form->field(); }
    // A point inside piece i's body, in the field view.
    static QPoint bodyPoint(int i, int dx = 12, int dy = 12) {
        return QPoint(pieces[i]->Xpos + dx, pieces[i]->Ypos + dy);
    }
    qint64 overrideCursorKey() const {
        const QCursor* c = QGuiApplication::overrideCursor();
        return c ? c->pixmap().cacheKey() : 0;
    }
};

TEST_F(MainFormTest, FirstStartBuildsEverythingAndLaysOutTheDefaultGrid) {
    open();
    EXPECT_EQ(view().shapes().size(), 245u);
    ASSERT_TRUE(midiPort);
    EXPECT_TRUE(midiPort->isOpen());
    EXPECT_EQ(midiPort->programs[0], 12);
    EXPECT_EQ(pieces[7]->Xpos, 40);
    EXPECT_EQ(pieces[7]->Ypos, 120);
    EXPECT_EQ(pieces[48]->body->left, 520);
    EXPECT_TRUE(form->Timer1.isActive());
    EXPECT_EQ(form->Timer1.interval(), 50);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Marulet"));
    EXPECT_EQ(form->OptionDlg->objectName(), QStringLiteral("OptionDlg"));
    EXPECT_FALSE(form->OptionDlg->isVisible());
    for (int n : {5, 6, 7, 8})
        EXPECT_TRUE(form->cursors().contains(n)) << n;
}

TEST_F(MainFormTest, DragKeepsTheGrabPointAndShowsTheMoveCursor) {
    open();
    QTest::mousePress(&view(), Qt::LeftButton, Qt::NoModifier, bodyPoint(0, 5, 7));
    EXPECT_EQ(overrideCursorKey(), form->cursors().cursor(5).pixmap().cacheKey());
    QTest::mouseMove(&view(), bodyPoint(0, 25, 17));
    EXPECT_EQ(pieces[0]->Xpos, 60);
    EXPECT_EQ(pieces[0]->Ypos, 50);
    QTest::mouseRelease(&view(), Qt::LeftButton, Qt::NoModifier, QPoint(65, 57));
    EXPECT_FALSE(pieces[0]->dragging);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(view().shapes()[0].left, 60); // the body's shape moved with it
}

TEST_F(MainFormTest, ThePieceOnTopTakesThePress) {
    open();
    pieces[30]->SetPosition(100, 100, 0);
    pieces[31]->SetPosition(104, 104, 0);
    QTest::mouseClick(&view(), Qt::LeftButton, Qt::ControlModifier, QPoint(110, 110));
    EXPECT_EQ(pieces[31]->rate[0], prm.ActiveLv);
    EXPECT_EQ(pieces[30]->rate[0], 0);
}

TEST_F(MainFormTest, APressOnASatelliteDoesNothing) {
    open();
    const Shape& satellite = *pieces[24]->satellites[0];
    QTest::mouseClick(&view(), Qt::LeftButton, Qt::ControlModifier,
                      QPoint(satellite.left + 6, satellite.top + 6));
    QTest::mousePress(&view(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(satellite.left + 6, satellite.top + 6));
    EXPECT_FALSE(pieces[24]->dragging);
    EXPECT_EQ(pieces[24]->rate[0], 0);
    EXPECT_FALSE(form->PopupMenu1->isVisible());
}

TEST_F(MainFormTest, RightClickOpensTheContextMenuOnGroundAndOnBodies) {
    open();
    QTest::mouseClick(&view(), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(form->PopupMenu1->isVisible());
    form->PopupMenu1->hide();
    QTest::mouseClick(&view(), Qt::RightButton, Qt::NoModifier, bodyPoint(10));
    EXPECT_TRUE(form->PopupMenu1->isVisible());
    form->PopupMenu1->hide();
    QTest::mouseClick(&view(), Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier,
                      bodyPoint(10));
    EXPECT_FALSE(form->PopupMenu1->isVisible());
    EXPECT_FALSE(pieces[10]->Enabled);
}

TEST_F(MainFormTest, ModifierKeysAnnounceWhatAClickWillDo) {
    open();
    auto key = [&](int n) { return form->cursors().cursor(n).pixmap().cacheKey(); };
    QTest::keyPress(form.get(), Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_EQ(overrideCursorKey(), key(6));
    QTest::keyPress(form.get(), Qt::Key_Control, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(overrideCursorKey(), key(8));
    QTest::keyRelease(form.get(), Qt::Key_Control, Qt::ShiftModifier);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); // even with Shift still held
    QTest::keyPress(form.get(), Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(overrideCursorKey(), key(7));
    QTest::keyRelease(form.get(), Qt::Key_Control, Qt::NoModifier);
}

TEST_F(MainFormTest, TickRecoloursTheShapesOfExcitedPieces) {
    open();
    pieces[0]->rate[1] = 100;
    form->Timer1Timer();
    EXPECT_EQ(pieces[0]->satellites[1]->brush, pieces[0]->BlendColor(100));
    EXPECT_FALSE(pieces[0]->satellites[1]->dirty); // handed to the view
}

class PictureTest : public MainFormTest {
protected:
    QImage picture{100, 50, QImage::Format_RGB32};

    QImage paintWith(bool stretch) {
        picture.fill(QColor(0, 200, 0));
        picture.setPixel(99, 49, qRgb(250, 0, 0));
        prm.bgBitmap = std::make_unique<QImage>(picture);
        prm.EnableBgImage = true;
        prm.StretchBgImage = stretch;
        view().pictureChanged();
        for (const auto& piece : pieces)
            piece->SetPosition(-100, -100, 0); // out of the way
        view().refresh();
        return view().grab().toImage();
    }
};

TEST_F(PictureTest, TiledPictureIsDrawnColumnByColumnAndCutAtTheEdge) {
    open();
    const QImage shot = paintWith(false);
    EXPECT_EQ(view().lastPictureDraws(), 48);
    EXPECT_EQ(shot.pixelColor(99, 49), QColor(250, 0, 0));
    EXPECT_EQ(shot.pixelColor(599 - 100, 349), QColor(250, 0, 0)); // tile at (500, 300)
    EXPECT_EQ(shot.pixelColor(596, 376), QColor(0, 200, 0));
}

TEST_F(PictureTest, StretchedPictureFillsTheAreaOnce) {
    open();
    const QImage shot = paintWith(true);
    EXPECT_EQ(view().lastPictureDraws(), 1);
    EXPECT_EQ(shot.pixelColor(300, 10), QColor(0, 200, 0));
    EXPECT_NE(shot.pixelColor(596, 376), QColor(0, 200, 0)); // the red corner, scaled up
}

TEST_F(PictureTest, DisabledPictureShowsOnlyTheBackgroundColour) {
    open();
    prm.Background = 0x0000FF; // red
    paintWith(false);
    prm.EnableBgImage = false;
    const QImage shot = view().grab().toImage();
    EXPECT_EQ(view().lastPictureDraws(), 0);
    EXPECT_EQ(shot.pixelColor(300, 10), QColor(255, 0, 0));
}

TEST_F(MainFormTest, ClosingSavesPlacementsLayoutAndSettingsThenSilences) {
    open();
    pieces[3]->SetPosition(300, 41, 0.5);
    pieces[4]->Enabled = false;
    prm.Reach = 222;
    service->messages.clear();
    form->close();

    ASSERT_EQ(service->messages.size(), 16u); // all notes off, channels 0 to 15
    EXPECT_EQ(service->closed.size(), 1u);
    EXPECT_FALSE(form->Timer1.isActive());

    QFile f(iniPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    const QStringList order = {
        "[General]", "WinState=", "WinLeft=", "OptionDlgLeft=", "DesignDlgTop=", "[Piece0]",
        "[Piece48]", "[Param]",   "[Color]",  "[Design]",       "[Sound]",       "Prg_00=13"};
    qsizetype at = 0;
    for (const QString& mark : order) {
        const qsizetype found = text.indexOf(mark, at);
        EXPECT_GE(found, 0) << mark.toStdString() << " missing or out of order";
        if (found >= 0) at = found;
    }
    IniFile ini(iniPath);
    EXPECT_EQ(ini.ReadInteger("Piece3", "Xpos", 0), 300);
    EXPECT_EQ(ini.ReadBool("Piece4", "Enabled", true), false);
    EXPECT_EQ(ini.ReadInteger("Param", "Reach", 0), 222);
}

TEST_F(MainFormTest, ADeviceThatGoesWhilePlayingIsToldOnceAndStaysChosen) {
    writeSettings("[General]\nLanguage=en\n[Sound]\nDriver=1\nDriverName=Port\n");
    open(true, {QStringLiteral("Synth"), QStringLiteral("Port")});
    ASSERT_EQ(midiPort->deviceId, 1u);
    QStringList told;
    form->tellUser = [&](const QString& message) { told << message; };

    service->gone = {1}; // the cable is pulled
    form->Timer1Timer();
    midiPort->NoteOn(0, 60, 100); // a note of this tick finds it gone
    form->Timer1Timer();
    form->Timer1Timer();
    QCoreApplication::processEvents();
    ASSERT_EQ(told.size(), 1) << told.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(told[0].startsWith(QStringLiteral(
        "The MIDI output device \"Port\" has gone away (unplugged, or its MIDI server stopped); "
        "Marulet plays through \"Synth\" now.")))
        << told[0].toStdString();
    EXPECT_EQ(midiPort->deviceId, 0u);
    EXPECT_TRUE(midiPort->isOpen());

    form->close();
    IniFile ini(iniPath);
    EXPECT_EQ(ini.ReadInteger("Sound", "Driver", 0), 1);
    EXPECT_EQ(ini.ReadString("Sound", "DriverName", QString()), QStringLiteral("Port"));
}

TEST_F(MainFormTest, ASoundOutputThatFailsAfterTheStartIsToldOnce) {
    writeSettings("[General]\nLanguage=en\n");
    open(true, {QStringLiteral("Synth"), QStringLiteral("Port")});
    QStringList told;
    form->tellUser = [&](const QString& message) { told << message; };
    form->Timer1Timer();
    // The output's first try gives up in the background: no server answered.
    service->problems[0] =
        QStringLiteral("no audio output (pulse: the sound server did not answer)");
    for (int i = 0; i < 5; ++i)
        form->Timer1Timer();
    QCoreApplication::processEvents();
    ASSERT_EQ(told.size(), 1) << told.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(told[0].startsWith(
        QStringLiteral("The built-in synthesizer has no sound output: no audio output (pulse: "
                       "the sound server did not answer).")))
        << told[0].toStdString();
}

TEST_F(MainFormTest, TheTickTimerFollowsTheDevicesClock) {
    open();
    ASSERT_TRUE(form->Timer1.isActive());
    // A card 2 % slow (absurd, but plain to see in whole milliseconds).
    service->period = std::chrono::milliseconds(51);
    form->Timer1Timer();
    // Armed for the next slot of the device's grid, a tick of its clock on.
    EXPECT_EQ(form->Timer1.interval(), 51);
    EXPECT_TRUE(form->Timer1.isActive());
    service->period.reset(); // the device stops telling: the period it gave stays
    form->Timer1Timer();
    EXPECT_EQ(form->Timer1.interval(), 51);
}

TEST_F(MainFormTest, AStartReadsBackWhatTheLastCloseSaved) {
    open();
    pieces[3]->SetPosition(300, 41, 0.5);
    form->close();
    form.reset();
    open();
    EXPECT_EQ(pieces[3]->Xpos, 300);
    EXPECT_DOUBLE_EQ(pieces[3]->Angle, 0.5);
}

TEST_F(MainFormTest, AnUndecodablePictureStillBuildsEverything) {
    QFile bad(dir.filePath("bg.png"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture at all");
    bad.close();
    writeSettings(QStringLiteral("[Design]\nBgImage=%1\nEnableBgImage=1\n[Sound]\nVolume=70\n")
                      .arg(bad.fileName())
                      .toUtf8());
    open(false);
    EXPECT_EQ(view().shapes().size(), 245u);
    ASSERT_TRUE(midiPort);
    EXPECT_EQ(midiPort->volumes[3], 70); // read after the picture
    ASSERT_TRUE(prm.bgBitmap);
    EXPECT_TRUE(prm.bgBitmap->isNull());
}

TEST_F(MainFormTest, TenMaximiseCloseStartCyclesKeepTheNormalBounds) {
    writeSettings("[General]\nWinLeft=100\nWinTop=80\nWinWidth=640\nWinHeight=480\n");
    for (int cycle = 0; cycle < 10; ++cycle) {
        prm.HideTitlebar = cycle % 2 == 1; // full screen, or plainly maximised
        open();
        QApplication::processEvents();
        form->setWindowState(Qt::WindowMaximized);
        QApplication::processEvents();
        form->close();
        form.reset();
        IniFile ini(iniPath);
        const QRect saved(ini.ReadInteger("General", "WinLeft", -1),
                          ini.ReadInteger("General", "WinTop", -1),
                          ini.ReadInteger("General", "WinWidth", -1),
                          ini.ReadInteger("General", "WinHeight", -1));
        EXPECT_EQ(saved, QRect(100, 80, 640, 480)) << "cycle " << cycle;
        EXPECT_EQ(ini.ReadInteger("General", "WinState", -1), 2);
    }
    prm.HideTitlebar = false;
}

TEST_F(MainFormTest, DialogsDefaultFromTheRestoredCornerAlsoWhenStartingMaximised) {
    writeSettings("[General]\nWinState=2\nWinLeft=100\nWinTop=50\nWinWidth=640\n"
                  "WinHeight=480\n");
    open();
    ASSERT_TRUE(form->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(form->OptionDlg->pos(), QPoint(150, 100));
    EXPECT_EQ(form->DesignDlg->pos(), QPoint(200, 150));
}

TEST_F(MainFormTest, ErrorBoxesBelongToTheActiveWindow) {
    open();
    form->DesignDlg->show();
    QApplication::setActiveWindow(form->DesignDlg);
    QWidget* parent = nullptr;
    bool onTop = false;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            parent = box->parentWidget();
            onTop = box->windowFlags() & Qt::WindowStaysOnTopHint;
            box->accept();
        }
    });
    MaruletApplication::showError(QStringLiteral("broken"));
    EXPECT_EQ(parent, form->DesignDlg);
    EXPECT_TRUE(onTop);
}

TEST_F(MainFormTest, AnUnwritableSettingsFileStillLetsTheWindowClose) {
    // A file where the folder should be: not even root can write there.
    QFile blocker(dir.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    iniPath = dir.filePath(QStringLiteral("blocked/marulet.INI"));
    open();
    QString reported;
    QObject::connect(form.get(), &TMaruletMainForm::saveFailed,
                     [&](const QString& m) { reported = m; });
    form->DesignDlg->show();
    QApplication::setActiveWindow(form->DesignDlg);
    QWidget* parent = nullptr;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            parent = box->parentWidget();
            box->accept();
        }
    });
    form->close();
    EXPECT_EQ(parent, form->DesignDlg); // above the always-on-top dialog
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(reported.contains(iniPath)) << reported.toStdString();
    EXPECT_EQ(service->messages.size() >= 16, true); // the port was still silenced
}

} // namespace
