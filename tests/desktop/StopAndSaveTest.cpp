// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

// Nothing a user arranged is lost: stop signals and the end of the desktop
// session save like the close box; the layout commands refuse what would
// harm; a picture that is a pipe is never opened; the background is drawn
// from a window-sized cache.
#include "desktop/DsgnDlg.h"
#include "desktop/FieldView.h"
#include "desktop/MainForm.h"
#include "engine/field/Pieces.h"
#include "engine/midi/RecordingMidiService.h"
#include "engine/program/StopSignals.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/SettingsRecord.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace {

class StopAndSave : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString iniPath = dir.filePath(QStringLiteral("marulet.INI"));
    RecordingMidiService* service = nullptr;
    std::unique_ptr<TMaruletMainForm> form;
    QStringList told;

    void open() {
        auto recorder = std::make_unique<RecordingMidiService>();
        service = recorder.get();
        form = std::make_unique<TMaruletMainForm>(iniPath, std::move(recorder));
        form->createDialogs();
        form->FormShow();
        form->show();
        form->tellUser = [this](const QString& message) { told << message; };
    }

    // Runs the application's event loop until something ends it (at most 5 s).
    static void runLoop(const std::function<void()>& first) {
        QTimer::singleShot(0, qApp, first);
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
        QApplication::exec();
    }

    int savedXpos(int piece) {
        IniFile ini(iniPath);
        return ini.ReadInteger(QStringLiteral("Piece%1").arg(piece), QStringLiteral("Xpos"), -1);
    }

    // Piece 4 moved, then the window must go away with the move saved and
    // every channel silenced, once.
    void expectClosedAndSaved(int x, const char* how) {
        EXPECT_FALSE(form->isVisible()) << how;
        EXPECT_FALSE(form->Timer1.isActive()) << how;
        EXPECT_EQ(service->closed.size(), 1u) << how;
        EXPECT_EQ(service->messages.size(), 16u) << how << ": all notes off once";
        EXPECT_EQ(savedXpos(4), x) << how;
    }
};

TEST_F(StopAndSave, TermIntAndHupCloseAndSaveLikeTheCloseBox) {
    StopSignals stop;
    ASSERT_TRUE(stop.active());
    int x = 300;
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        open();
        QObject::connect(&stop, &StopSignals::received, form.get(), &TMaruletMainForm::quitSaving);
        pieces[4]->SetPosition(++x, 50, 0.0);
        service->messages.clear();
        runLoop([number] { ::raise(number); });
        expectClosedAndSaved(x, strsignal(number));
        form.reset();
    }
    // Released, the signals act as they did before.
    stop.release();
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction now {};
        ASSERT_EQ(::sigaction(number, nullptr, &now), 0);
        EXPECT_EQ(now.sa_handler, SIG_DFL) << strsignal(number);
    }
}

TEST_F(StopAndSave, AStopSignalEndsAnOpenDialogToo) {
    StopSignals stop;
    open();
    QObject::connect(&stop, &StopSignals::received, form.get(), &TMaruletMainForm::quitSaving);
    pieces[4]->SetPosition(321, 50, 0.0);
    service->messages.clear();
    form->runFileDialog = [](QFileDialog& dialog) {
        QTimer::singleShot(50, [] { ::raise(SIGTERM); });
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().constFirst() : QString();
    };
    runLoop([this] { form->FileLoadPosItemClick(); });
    expectClosedAndSaved(321, "SIGTERM under the open dialog");
}

TEST_F(StopAndSave, TheSessionEndingSavesOnce) {
    open();
    pieces[4]->SetPosition(345, 50, 0.0);
    service->messages.clear();
    // Logging out ends the event loop without closing the window first.
    runLoop([] { QCoreApplication::quit(); });
    expectClosedAndSaved(345, "the loop ended by the session");
    form->close(); // a later close saves nothing twice
    EXPECT_EQ(service->messages.size(), 16u);
}

TEST_F(StopAndSave, SavingIntoAMissingFolderIsRefusedAndTheDialogComesBack) {
    open();
    const QString missing = dir.filePath(QStringLiteral("no/such/mine.DAT"));
    const QString good = dir.filePath(QStringLiteral("mine.DAT"));
    QStringList answers = {missing, good};
    int shown = 0;
    form->runFileDialog = [&](QFileDialog&) {
        ++shown;
        return answers.takeFirst();
    };
    pieces[5]->SetPosition(333, 44, 0.0);
    form->FileSavePosItemClick();
    EXPECT_EQ(shown, 2);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QDir::toNativeSeparators(dir.filePath(QStringLiteral("no/such")))))
        << qPrintable(told[0]);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("no"))));
    IniFile saved(good);
    EXPECT_EQ(saved.ReadInteger(QStringLiteral("Piece5"), QStringLiteral("Xpos"), 0), 333);

    // A pipe under the chosen name is not replaced: the dialog comes back.
    const QString fifo = dir.filePath(QStringLiteral("pipe.DAT"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    answers = {fifo, QString()};
    told.clear();
    form->FileSavePosItemClick();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QStringLiteral("名前付きパイプ"))) << qPrintable(told[0]);
    struct stat st {};
    EXPECT_TRUE(::lstat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));

    // Cancelled after the refusal: nothing is written anywhere.
    answers = {missing, QString()};
    form->FileSavePosItemClick();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("no"))));
}

TEST_F(StopAndSave, LoadingSomethingThatIsNoLayoutKeepsThePieces) {
    open();
    const QString empty = dir.filePath(QStringLiteral("empty.DAT"));
    QFile(empty).open(QIODevice::WriteOnly);
    form->runFileDialog = [&](QFileDialog&) { return empty; };
    pieces[5]->SetPosition(333, 44, 0.5);
    form->FileLoadPosItemClick();
    EXPECT_EQ(pieces[5]->Xpos, 333);
    EXPECT_EQ(pieces[5]->Angle, 0.5);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QStringLiteral("レイアウトファイルではありません")))
        << qPrintable(told[0]);
}

TEST_F(StopAndSave, APictureChosenThatIsAPipeIsNamedAndChangesNothing) {
    open();
    const QString fifo = dir.filePath(QStringLiteral("bg.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    prm.BgImage.clear();
    QString reported;
    form->DesignDlg->setPictureRunner([&](QFileDialog&) { return fifo; });
    form->DesignDlg->setErrorReporter([&](const QString& message) { reported = message; });
    form->DesignDlg->BgImgBtnClick();
    EXPECT_TRUE(reported.contains(QStringLiteral("名前付きパイプ"))) << qPrintable(reported);
    EXPECT_TRUE(prm.BgImage.isEmpty());
}

TEST_F(StopAndSave, TheBackgroundIsDrawnFromACacheThatFitsTheWindow) {
    open();
    form->field()->resize(597, 377);
    *prm.bgBitmap = QImage(3000, 2000, QImage::Format_RGB32);
    prm.bgBitmap->fill(Qt::darkCyan);
    prm.EnableBgImage = true;
    for (const bool stretch : {true, false}) {
        prm.StretchBgImage = stretch;
        form->field()->pictureChanged();
        form->field()->grab();
        EXPECT_EQ(form->field()->pictureCacheSize(), QSize(597, 377)) << stretch;
        EXPECT_EQ(form->field()->lastPictureDraws(), 1);
    }
    // A small tiled picture is kept whole and drawn as often as it fits.
    *prm.bgBitmap = QImage(100, 50, QImage::Format_RGB32);
    form->field()->pictureChanged();
    form->field()->grab();
    EXPECT_EQ(form->field()->pictureCacheSize(), QSize(100, 50));
    EXPECT_EQ(form->field()->lastPictureDraws(), 48);
    prm.EnableBgImage = false;
}

} // namespace
