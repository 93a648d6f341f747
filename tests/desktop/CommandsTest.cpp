// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/About.h"
#include "desktop/DsgnDlg.h"
#include "desktop/FieldView.h"
#include "desktop/HelpWindow.h"
#include "desktop/MainForm.h"
#include "desktop/OptDlg.h"
#include "engine/field/Pieces.h"
#include "engine/midi/RecordingMidiService.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/SettingsRecord.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

class CommandsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<TMaruletMainForm> form;

    CommandsTest() {
        form = std::make_unique<TMaruletMainForm>(dir.filePath("marulet.INI"),
                                                  std::make_unique<RecordingMidiService>());
        form->createDialogs();
        form->FormShow();
        form->show();
    }

    // Captions of a menu's items, separators as "-".
    static QStringList captions(const QMenu* menu) {
        QStringList list;
        for (const QAction* a : menu->actions())
            list << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return list;
    }

    QMenu* barMenu(const char* name) const {
        return form->MainMenu1->findChild<QMenu*>(QString::fromLatin1(name));
    }

    static QAction* item(QMenu* menu, const char* name) {
        for (QAction* a : menu->actions())
            if (a->objectName() == QLatin1String(name)) return a;
        return nullptr;
    }
};

TEST_F(CommandsTest, MenuBarHoldsTheItemsInOrder) {
    QStringList titles;
    for (const QAction* a : form->MainMenu1->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"ファイル(&F)", "駒操作(&P)", "オプション(&O)", "ヘルプ(&H)"}));
    EXPECT_EQ(captions(barMenu("File1")),
              (QStringList{"配置の読み込み(&L)", "配置の保存(&S)", "MIDI録音を開始(&M)...",
                           "音声録音を開始(&A)...", "-", "終了(&X)"}));
    EXPECT_EQ(captions(barMenu("S1")),
              (QStringList{"すべて休止(&A)", "すべて休眠(&Z)", "休眠状態をすべて解除(&R)", "-",
                           "デフォルトの配置(&D)", "-", "グリッドに配置(&G)",
                           "配置グリッドのサイズ指定(&S)..."}));
    EXPECT_EQ(
        captions(barMenu("Option2")),
        (QStringList{"サウンド／パラメータ(&S)...", "デザイン(&D)...", "言語 / Language(&L)"}));
    EXPECT_EQ(captions(barMenu("Help1")),
              (QStringList{"目次(&C)", "バージョン情報(&A)", "Webページへ(&W)"}));
    EXPECT_EQ(item(barMenu("Option2"), "OptionItem")->property("helpContext").toInt(), 3);
    EXPECT_EQ(item(barMenu("Option2"), "DesignItem")->property("helpContext").toInt(), 4);
    for (const QAction* a : form->MainMenu1->findChildren<QAction*>())
        EXPECT_TRUE(a->shortcut().isEmpty()) << a->text().toStdString();
}

TEST_F(CommandsTest, TheVersionItemBearsTheNameOfTheWindowItOpens) {
    QAction* about = item(barMenu("Help1"), "AboutItem");
    ASSERT_TRUE(about);
    EXPECT_EQ(about->text(), "バージョン情報(&A)");
    EXPECT_EQ(QString(about->text()).remove("(&A)"), form->AboutBox->windowTitle());
    form->setLanguage("en");
    QApplication::processEvents();
    EXPECT_EQ(about->text(), "&About Marulet");
    EXPECT_EQ(form->AboutBox->windowTitle(), "About Marulet");
    form->setLanguage("ja");
}

TEST_F(CommandsTest, ContextMenuSharesTheActions) {
    EXPECT_EQ(captions(form->PopupMenu1),
              (QStringList{"すべて休止(&A)", "すべて休眠(&Z)", "休眠状態をすべて解除(&R)", "-",
                           "サウンド／パラメータ(&S)", "デザイン(&D)", "-", "元のサイズに戻す",
                           "終了(&X)"}));
    EXPECT_EQ(form->PopupMenu1->actions()[0], form->AllOffAction);
    EXPECT_EQ(barMenu("S1")->actions()[0], form->AllOffAction);
}

TEST_F(CommandsTest, StopSleepAndWakeAll) {
    pieces[3]->rate = {1, 2, 3, 4};
    pieces[3]->level = {5, 6, 7, 8};
    pieces[4]->Enabled = false;
    form->AllOffAction->trigger();
    EXPECT_EQ(pieces[3]->rate, (std::array<double, 4>{}));
    EXPECT_EQ(pieces[3]->level, (std::array<double, 4>{}));
    EXPECT_FALSE(pieces[4]->Enabled);
    EXPECT_TRUE(pieces[3]->Enabled);

    form->AllZzzAction->trigger();
    for (const auto& p : pieces)
        EXPECT_FALSE(p->Enabled);
    form->AllActAction->trigger();
    for (const auto& p : pieces)
        EXPECT_TRUE(p->Enabled);
}

TEST_F(CommandsTest, DefaultLayoutKeepsSleepAndLevels) {
    pieces[9]->SetPosition(3, 4, 1.0);
    pieces[9]->Enabled = false;
    pieces[9]->rate[0] = 2;
    form->DefPosAction->trigger();
    EXPECT_EQ(pieces[9]->Xpos, 200);
    EXPECT_EQ(pieces[9]->Ypos, 120);
    EXPECT_EQ(pieces[9]->Angle, 0);
    EXPECT_FALSE(pieces[9]->Enabled);
    EXPECT_EQ(pieces[9]->rate[0], 2);
}

TEST_F(CommandsTest, GridToggleFollowsWithItsCheckMark) {
    prm.SnapGrid = false;
    form->EnableGridAction->trigger();
    EXPECT_TRUE(prm.SnapGrid);
    EXPECT_TRUE(form->EnableGridAction->isChecked());
    form->EnableGridAction->trigger();
    EXPECT_FALSE(prm.SnapGrid);
    EXPECT_FALSE(form->EnableGridAction->isChecked());
}

TEST_F(CommandsTest, GridSizeEntries) {
    auto enter = [&](std::optional<QString> answer) {
        QString askedCaption, askedInitial;
        form->askText = [&](const QString& caption, const QString& initial) {
            askedCaption = caption;
            askedInitial = initial;
            return answer ? *answer : initial; // nothing: cancelled
        };
        form->SetGridSizeItemClick();
        EXPECT_EQ(askedCaption, QStringLiteral("配置グリッドのサイズ指定"));
        return askedInitial;
    };
    prm.GridSize = 20;
    EXPECT_EQ(enter(QStringLiteral("35")), QStringLiteral("20"));
    EXPECT_EQ(prm.GridSize, 35);
    for (const char* rejected : {"0", "-5", ""}) {
        enter(QString::fromLatin1(rejected));
        EXPECT_EQ(prm.GridSize, 35) << rejected;
    }
    EXPECT_EQ(enter(std::nullopt), QStringLiteral("35"));
    EXPECT_EQ(prm.GridSize, 35);
    enter(QStringLiteral("abc"));
    EXPECT_EQ(prm.GridSize, 20);
}

TEST_F(CommandsTest, RestoreItemShowsOnlyWhenMaximisedWithoutTitleBar) {
    auto shownInMenu = [&] {
        emit form->PopupMenu1->aboutToShow();
        return form->RestoreAction->isVisible();
    };
    prm.HideTitlebar = true;
    form->setWindowState(Qt::WindowNoState);
    EXPECT_FALSE(shownInMenu());
    prm.HideTitlebar = false;
    form->setWindowState(Qt::WindowMaximized);
    EXPECT_FALSE(shownInMenu());
    form->setWindowState(Qt::WindowNoState);
    prm.HideTitlebar = true;
    form->setWindowState(Qt::WindowMaximized);
    EXPECT_TRUE(form->windowState() & Qt::WindowFullScreen);
    EXPECT_TRUE(form->menuBar()->isHidden());
    EXPECT_TRUE(shownInMenu());
    form->RestoreAction->trigger();
    EXPECT_FALSE(form->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    EXPECT_FALSE(form->menuBar()->isHidden());
    EXPECT_FALSE(shownInMenu());
    prm.HideTitlebar = false;
}

TEST_F(CommandsTest, RestoreEndsFullScreenForGoodAlsoByTheWindowManagersKeys) {
    prm.HideTitlebar = true;
    form->show();
    auto fullScreen = [&] {
        form->setWindowState(Qt::WindowMaximized);
        QApplication::processEvents();
        return (form->windowState() & Qt::WindowFullScreen) && form->menuBar()->isHidden();
    };
    // The window system reports a state, as a window manager does.
    auto reported = [&](Qt::WindowStates state) {
        form->windowHandle()->setWindowStates(state);
        QApplication::processEvents();
    };
    auto normal = [&] {
        return !(form->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) &&
               !form->menuBar()->isHidden();
    };

    ASSERT_TRUE(fullScreen());
    form->RestoreAction->trigger();
    reported(Qt::WindowMaximized); // handed back as full screen ends
    EXPECT_TRUE(normal());
    reported(Qt::WindowNoState);
    EXPECT_TRUE(normal());

    ASSERT_TRUE(fullScreen());
    reported(Qt::WindowMaximized); // the window manager's own key leaves full screen
    EXPECT_TRUE(normal());
    reported(Qt::WindowNoState);

    ASSERT_TRUE(fullScreen());
    QTest::qWait(1100);
    reported(Qt::WindowFullScreen); // how openbox reports the mode: still in it
    EXPECT_TRUE(form->menuBar()->isHidden());
    EXPECT_TRUE(form->windowState() & Qt::WindowFullScreen);
    form->RestoreAction->trigger();
    reported(Qt::WindowNoState);
    EXPECT_TRUE(normal());
    EXPECT_TRUE(fullScreen()); // a later maximise is a fresh one
    prm.HideTitlebar = false;
}

TEST_F(CommandsTest, TheLanguageMenuSwitchesEveryOpenWindowAtOnce) {
    QMenu* languages = form->findChild<QMenu*>("LanguageMenu");
    ASSERT_TRUE(languages);
    EXPECT_EQ(captions(languages), (QStringList{"日本語(&J)", "English(&E)"}));
    form->HelpContentsItemClick();
    const QStringList japanese = captions(barMenu("S1")) + captions(form->PopupMenu1);
    auto choose = [&](const char* name) {
        item(languages, name)->trigger();
        QApplication::processEvents();
        emit languages->aboutToShow();
    };

    choose("EnglishItem");
    EXPECT_TRUE(item(languages, "EnglishItem")->isChecked());
    EXPECT_EQ(barMenu("File1")->title(), "&File");
    EXPECT_EQ(captions(barMenu("S1")).value(0), "Stop &all");
    EXPECT_EQ(form->DesignDlg->windowTitle(), "Design");
    EXPECT_EQ(form->DesignDlg->HideTbarChkBox->text(), "Hide the title bar when maximised");
    EXPECT_EQ(form->OptionDlg->windowTitle(), "Sound/Parameters");
    EXPECT_EQ(form->OptionDlg->Label8->text(), "Response");
    EXPECT_EQ(form->help().windowTitle(), "Marulet Help");
    EXPECT_TRUE(form->help().currentPage().toString().contains("/help/en/"));
    EXPECT_EQ(QCoreApplication::translate("TMaruletMainForm", "The layout could not be saved: %1"),
              "The layout could not be saved: %1");

    choose("JapaneseItem");
    EXPECT_TRUE(item(languages, "JapaneseItem")->isChecked());
    EXPECT_EQ(captions(barMenu("S1")) + captions(form->PopupMenu1), japanese);
    EXPECT_EQ(form->DesignDlg->windowTitle(), "デザイン設定");
    EXPECT_EQ(form->OptionDlg->windowTitle(), "サウンド/パラメータ");
    EXPECT_EQ(form->help().windowTitle(), "Marulet ヘルプ"); // the contents: once
    EXPECT_EQ(QCoreApplication::translate("TMaruletMainForm", "The layout could not be saved: %1"),
              "配置を保存できませんでした: %1");

    // Kept in [General] and spoken from the start.
    choose("EnglishItem");
    const QString ini = dir.filePath("marulet.INI");
    form->close();
    form.reset();
    EXPECT_EQ(IniFile(ini).ReadString("General", "Language", ""), "en");
    form = std::make_unique<TMaruletMainForm>(ini, std::make_unique<RecordingMidiService>());
    QApplication::processEvents();
    EXPECT_EQ(barMenu("File1")->title(), "&File");
}

TEST_F(CommandsTest, DialogsOpenModelessAndStayOne) {
    form->OptionDlg->hide();
    form->PopupMenu1->actions()[4]->trigger();
    EXPECT_TRUE(form->OptionDlg->isVisible());
    EXPECT_FALSE(form->OptionDlg->isModal());
    item(barMenu("Option2"), "DesignItem")->trigger();
    EXPECT_TRUE(form->DesignDlg->isVisible());
    item(barMenu("Option2"), "OptionItem")->trigger(); // already shown: brought to the front
    EXPECT_TRUE(form->OptionDlg->isVisible());
    EXPECT_EQ(form->findChildren<TOptionDlg*>().size(), 1);
}

TEST_F(CommandsTest, LayoutSaveAndLoadUseFreshlyPreparedDialogs) {
    const QString path = dir.filePath("mine.DAT");
    QString title;
    form->runFileDialog = [&](QFileDialog& dialog) {
        title = dialog.windowTitle();
        EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("DAT"));
        EXPECT_TRUE(dialog.nameFilters().constFirst().startsWith(
            QStringLiteral("配置情報ファイル (*.dat)")));
        return path;
    };
    pieces[5]->SetPosition(333, 44, 0.25);
    pieces[6]->Enabled = false;
    form->FileSavePosItemClick();
    EXPECT_EQ(title, QStringLiteral("配置情報の保存"));
    EXPECT_EQ(form->SaveDialog1->acceptMode(), QFileDialog::AcceptSave);
    {
        IniFile saved(path);
        EXPECT_TRUE(saved.SectionExists("Piece48"));
        EXPECT_EQ(saved.ReadInteger("Piece5", "Xpos", 0), 333);
    }

    form->DefPosAction->trigger();
    pieces[6]->Enabled = true;
    form->FileLoadPosItemClick();
    EXPECT_EQ(title, QStringLiteral("配置情報の読込"));
    EXPECT_EQ(form->OpenDialog1->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(pieces[5]->Xpos, 333);
    EXPECT_FALSE(pieces[6]->Enabled);

    form->runFileDialog = [](QFileDialog&) { return QString(); }; // cancelled
    form->DefPosAction->trigger();
    form->FileLoadPosItemClick();
    EXPECT_EQ(pieces[5]->Xpos, 440); // still on the default grid
}

TEST_F(CommandsTest, ATypedNameWithoutExtensionGetsDat) {
    QString chosen;
    form->runFileDialog = [&](QFileDialog& dialog) {
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setDirectory(dir.path());
        QTimer::singleShot(0, &dialog, [&dialog] {
            auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QStringLiteral("mylayout"));
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().constFirst() : QString();
    };
    form->FileSavePosItemClick();
    EXPECT_TRUE(QFile::exists(dir.filePath("mylayout.DAT")));
}

TEST_F(CommandsTest, HelpOpensTheContentsOrTheActiveWindowsTopic) {
    item(barMenu("Help1"), "HelpContentsItem")->trigger();
    auto* help = form->findChild<HelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->currentPage().toString().endsWith("index.html"));

    const std::pair<QWidget*, QString> windows[] = {{form.get(), "field.html"},
                                                    {form->OptionDlg, "sound.html"},
                                                    {form->DesignDlg, "design.html"}};
    for (const auto& [window, page] : windows) {
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window);
        form->showHelpForActiveWindow();
        EXPECT_TRUE(help->currentPage().toString().contains(page))
            << help->currentPage().toString().toStdString();
    }
    EXPECT_EQ(form->findChildren<HelpWindow*>().size(), 1);
}

TEST_F(CommandsTest, ExitClosesAndSavesLikeTheCloseBox) {
    pieces[2]->SetPosition(250, 60, 0);
    item(barMenu("File1"), "FileExitItem")->trigger();
    EXPECT_FALSE(form->isVisible());
    IniFile ini(dir.filePath("marulet.INI"));
    EXPECT_EQ(ini.ReadInteger("Piece2", "Xpos", 0), 250);
    EXPECT_TRUE(ini.SectionExists("Sound"));
}

} // namespace
