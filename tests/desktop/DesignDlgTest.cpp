// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/DsgnDlg.h"
#include "desktop/FieldView.h"
#include "desktop/MainForm.h"
#include "engine/midi/RecordingMidiService.h"
#include "engine/settings/HomeFolder.h"
#include "engine/settings/SettingsRecord.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <optional>

namespace {

const QString kBitmapFilter = QStringLiteral("ビットマップ (*.bmp)");
const QString kPngFilter = QStringLiteral("PNGファイル(*.PNG)");

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// The design dialog of a shown main window with its timer stopped, so only
// the dialog makes the field repaint.
class DesignDlgTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<TMaruletMainForm> form;
    TDesignDlg* dlg = nullptr;
    PaintCounter counter;
    std::vector<QString> reported;

    void SetUp() override {
        form = std::make_unique<TMaruletMainForm>(dir.filePath(QStringLiteral("marulet.INI")),
                                                  std::make_unique<RecordingMidiService>());
        form->createDialogs();
        form->FormShow();
        form->show();
        form->Timer1.stop();
        dlg = form->DesignDlg;
        dlg->setErrorReporter([this](const QString& message) { reported.push_back(message); });
        form->field()->installEventFilter(&counter);
        settle();
    }

    void TearDown() override {
        form.reset();
        resetPrm();
    }

    // Delivers pending paints, then starts counting afresh.
    int settle() {
        QCoreApplication::processEvents();
        const int paints = counter.paints;
        counter.paints = 0;
        return paints;
    }

    QString writePicture(const QString& name, QColor colour, QSize size = {40, 30}) {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(colour);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(picture.save(path, "PNG"));
        return path;
    }

    // Answers the picture dialog with path and keeps what the dialog showed.
    void choose(const QString& path, std::optional<QString> filter = {}) {
        dlg->setPictureRunner([this, path, filter](QFileDialog& d) {
            seenTitle = d.windowTitle();
            seenFilters = d.nameFilters();
            seenFilter = d.selectedNameFilter();
            seenSuffix = d.defaultSuffix();
            seenFolder = d.directory().absolutePath();
            if (filter) d.selectNameFilter(*filter);
            return path;
        });
    }
    QString seenTitle, seenFilter, seenSuffix, seenFolder;
    QStringList seenFilters;
};

TEST_F(DesignDlgTest, EachColourButtonEditsTheFieldOfItsTag) {
    prm.Background = 0x000001;
    prm.NormalBrush = 0x000002;
    prm.NormalPen = 0x000003;
    prm.ActiveBrush = 0x000004;
    prm.ZzzBrush = 0x000005;
    const std::array<QPushButton*, 5> buttons{dlg->ColButton1, dlg->ColButton2, dlg->ColButton3,
                                              dlg->ColButton4, dlg->ColButton5};
    const std::array<TColor*, 5> fields{&prm.Background, &prm.NormalBrush, &prm.NormalPen,
                                        &prm.ActiveBrush, &prm.ZzzBrush};
    for (int tag = 0; tag < 5; ++tag) {
        SCOPED_TRACE(tag);
        EXPECT_EQ(buttons[tag]->property("Tag").toInt(), tag);
        QColor started;
        dlg->setColorRunner([&](QColorDialog& d) {
            started = d.currentColor();
            return QColor(10 + tag, 20, 30); // red 10+tag, green 20, blue 30
        });
        buttons[tag]->click();
        EXPECT_EQ(started, QColor(1 + tag, 0, 0)); // the chooser starts at the field's colour
        EXPECT_EQ(*fields[tag], TColor((30 << 16) | (20 << 8) | (10 + tag)));
        for (int other = tag + 1; other < 5; ++other)
            EXPECT_EQ(*fields[other], other + 1);
        // Only the window's own colour repaints it; the pieces recolour on their tick.
        const int paints = settle();
        if (tag == 0) {
            EXPECT_GT(paints, 0);
            EXPECT_EQ(form->field()->grab().toImage().pixelColor(2, 2), QColor(10, 20, 30));
            settle(); // grabbing paints too
        } else {
            EXPECT_EQ(paints, 0);
        }
    }
}

TEST_F(DesignDlgTest, CancellingOrKeepingTheColourChangesNothingVisible) {
    prm.Background = 0x123456;
    prm.NormalPen = 0x654321;
    dlg->setColorRunner([](QColorDialog&) { return QColor(); });
    dlg->ColButton1->click();
    dlg->ColButton3->click();
    EXPECT_EQ(prm.Background, 0x123456);
    EXPECT_EQ(prm.NormalPen, 0x654321);
    EXPECT_EQ(settle(), 0);

    dlg->setColorRunner([](QColorDialog& d) { return d.currentColor(); }); // OK as it stands
    dlg->ColButton1->click();
    EXPECT_EQ(prm.Background, 0x123456);
    EXPECT_EQ(settle(), 0);
}

TEST_F(DesignDlgTest, ShowingCopiesTheSettingsAndTheBoxesWriteThemBack) {
    prm.BgImage = QStringLiteral("/pics/sky.png");
    prm.EnableBgImage = true;
    prm.StretchBgImage = false;
    prm.HideTitlebar = true;
    dlg->show();
    EXPECT_EQ(dlg->BgImgEdit->text(), prm.BgImage);
    EXPECT_TRUE(dlg->BgImgCheckBox->isChecked());
    EXPECT_FALSE(dlg->StretchChkBox->isChecked());
    EXPECT_TRUE(dlg->HideTbarChkBox->isChecked());
    dlg->close(); // the close box hides; nothing is undone
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(form->DesignDlg, dlg);
    EXPECT_TRUE(prm.EnableBgImage);
    EXPECT_TRUE(prm.HideTitlebar);
    EXPECT_EQ(prm.BgImage, QStringLiteral("/pics/sky.png"));
    settle();

    dlg->BgImgCheckBox->click();
    EXPECT_FALSE(prm.EnableBgImage);
    EXPECT_GT(settle(), 0);
    dlg->StretchChkBox->click();
    EXPECT_TRUE(prm.StretchBgImage);
    EXPECT_GT(settle(), 0);
    const Qt::WindowStates before = form->windowState();
    dlg->HideTbarChkBox->click();
    EXPECT_FALSE(prm.HideTitlebar);
    EXPECT_EQ(form->windowState(), before);
    EXPECT_TRUE(form->menuBar()->isVisibleTo(form.get()));
}

TEST_F(DesignDlgTest, PickingAPictureTurnsItOnKeepsStretchAndDrawsIt) {
    prm.bgBitmap = std::make_unique<QImage>(8, 8, QImage::Format_RGB32);
    prm.bgBitmap->fill(Qt::red); // the old picture, to be replaced
    prm.EnableBgImage = false;
    prm.StretchBgImage = true;
    dlg->show();
    const QString path = writePicture(QStringLiteral("green.png"), QColor(0, 200, 0));
    choose(path);
    dlg->BgImgBtn->click();

    EXPECT_EQ(seenTitle, QStringLiteral("背景画像の選択"));
    EXPECT_EQ(seenFilters, (QStringList{kBitmapFilter, QStringLiteral("JPEGファイル(*.JPG)"),
                                        kPngFilter, QStringLiteral("GIFファイル(*.GIF)")}));
    EXPECT_EQ(seenSuffix, QStringLiteral("BMP"));
    EXPECT_TRUE(dlg->BgImgCheckBox->isChecked());
    EXPECT_TRUE(dlg->StretchChkBox->isChecked());
    EXPECT_TRUE(prm.EnableBgImage);
    EXPECT_TRUE(prm.StretchBgImage);
    EXPECT_EQ(prm.BgImage, path);
    EXPECT_EQ(dlg->BgImgEdit->text(), path);
    ASSERT_TRUE(prm.bgBitmap);
    EXPECT_EQ(prm.bgBitmap->size(), QSize(40, 30));
    EXPECT_EQ(prm.bgBitmap->pixelColor(5, 5), QColor(0, 200, 0));
    EXPECT_GT(settle(), 0);
    EXPECT_EQ(form->field()->lastPictureDraws(), 1); // stretched: drawn once
    EXPECT_TRUE(reported.empty());
}

TEST_F(DesignDlgTest, AnEmptyBitmapIsReusedAndAnUnknownTypeIsStoredButNotRead) {
    QImage* empty = prm.bgBitmap.get();
    ASSERT_NE(empty, nullptr);
    ASSERT_TRUE(empty->isNull());
    choose(writePicture(QStringLiteral("blue.png"), Qt::blue));
    dlg->BgImgBtn->click();
    EXPECT_EQ(prm.bgBitmap.get(), empty);
    EXPECT_FALSE(empty->isNull());

    const QString tiff = dir.filePath(QStringLiteral("photo.tif"));
    ASSERT_TRUE(QImage(4, 4, QImage::Format_RGB32).save(tiff, "PNG"));
    choose(tiff);
    dlg->BgImgBtn->click();
    EXPECT_EQ(prm.BgImage, tiff);
    EXPECT_TRUE(prm.EnableBgImage);
    EXPECT_TRUE(prm.bgBitmap->isNull());
    EXPECT_TRUE(reported.empty());
}

TEST_F(DesignDlgTest, AnUndecodablePictureIsReportedAfterThePathAndBoxesAreSet) {
    prm.bgBitmap = std::make_unique<QImage>(8, 8, QImage::Format_RGB32);
    prm.bgBitmap->fill(Qt::red);
    const QString path = dir.filePath(QStringLiteral("broken.png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x89PNG\r\n\x1a\n but nothing after the signature");
    file.close();
    struct Seen {
        QString path, edit;
        bool enabled = false, checked = false, bitmapEmpty = false;
    } seen;
    dlg->setErrorReporter([&](const QString& message) {
        reported.push_back(message);
        seen = {prm.BgImage, dlg->BgImgEdit->text(), prm.EnableBgImage,
                dlg->BgImgCheckBox->isChecked(), prm.bgBitmap && prm.bgBitmap->isNull()};
    });
    choose(path);
    dlg->BgImgBtn->click();

    ASSERT_EQ(reported.size(), 1u);
    EXPECT_TRUE(reported[0].contains(path)) << reported[0].toStdString();
    EXPECT_EQ(seen.path, path);
    EXPECT_EQ(seen.edit, path);
    EXPECT_TRUE(seen.enabled);
    EXPECT_TRUE(seen.checked);
    EXPECT_TRUE(seen.bitmapEmpty);
    EXPECT_EQ(prm.BgImage, path); // kept, so the settings file will hold it
    EXPECT_GT(settle(), 0);       // the old picture does not linger
    EXPECT_EQ(form->field()->lastPictureDraws(), 0);
}

TEST_F(DesignDlgTest, CancelOrAMissingFileChangesNothing) {
    prm.BgImage = QStringLiteral("/before.png");
    for (const QString& answer :
         {QString(), dir.filePath(QStringLiteral("typed-but-absent.bmp")), dir.path()}) {
        choose(answer);
        dlg->BgImgBtn->click();
        EXPECT_EQ(prm.BgImage, QStringLiteral("/before.png"));
        EXPECT_FALSE(prm.EnableBgImage);
        EXPECT_FALSE(dlg->BgImgCheckBox->isChecked());
        EXPECT_TRUE(prm.bgBitmap->isNull());
    }
    EXPECT_TRUE(reported.empty());
}

TEST_F(DesignDlgTest, TheDialogStartsInThePicturesFolderWithTheTypeChosenLast) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("pics")));
    const QString path = writePicture(QStringLiteral("pics/a.png"), Qt::white);
    choose(path, kPngFilter);
    dlg->BgImgBtn->click();
    EXPECT_EQ(seenFilter, kBitmapFilter);
    EXPECT_EQ(seenFolder, QDir(HomeFolder()).absolutePath());

    choose(QString()); // cancelled: the type chosen before stays
    dlg->BgImgBtn->click();
    EXPECT_EQ(seenFilter, kPngFilter);
    EXPECT_EQ(seenFolder, dir.filePath(QStringLiteral("pics")));
    EXPECT_EQ(seenFilters.size(), 4);
}

TEST(DesignDlgFolder, PictureFolderFollowsThePathOrFallsBackHome) {
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("bg")));
    const QString root = home.path() + QLatin1Char('/');
    EXPECT_EQ(TDesignDlg::pictureFolder(QString(), root), root);
    EXPECT_EQ(TDesignDlg::pictureFolder(root + QStringLiteral("bg/sky.png"), root),
              root + QStringLiteral("bg/"));
    EXPECT_EQ(TDesignDlg::pictureFolder(QStringLiteral("bg/sky.png"), root),
              root + QStringLiteral("bg/"));
    EXPECT_EQ(TDesignDlg::pictureFolder(QStringLiteral("sky.png"), root), root);
    EXPECT_EQ(TDesignDlg::pictureFolder(QStringLiteral("C:\\Pictures\\sky.png"), root), root);
    EXPECT_EQ(TDesignDlg::pictureFolder(root + QStringLiteral("gone/sky.png"), root), root);
}

TEST_F(DesignDlgTest, ThePreviewShowsAPictureAndNothingForABrokenFile) {
    auto* preview = dlg->OpenPictDialog->findChild<QLabel*>(QStringLiteral("PicturePreview"));
    ASSERT_NE(preview, nullptr);
    emit dlg->OpenPictDialog->currentChanged(
        writePicture(QStringLiteral("big.png"), Qt::blue, {600, 300}));
    ASSERT_FALSE(preview->pixmap().isNull());
    EXPECT_LE(preview->pixmap().width(), preview->width());
    const QString broken = dir.filePath(QStringLiteral("broken.jpg"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xFF\xD8\xFF garbage");
    file.close();
    emit dlg->OpenPictDialog->currentChanged(broken);
    EXPECT_TRUE(preview->pixmap().isNull());
}

} // namespace
