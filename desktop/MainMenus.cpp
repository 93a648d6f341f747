// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/About.h"
#include "desktop/DsgnDlg.h"
#include "desktop/FieldView.h"
#include "desktop/HelpWindow.h"
#include "desktop/MainForm.h"
#include "desktop/OptDlg.h"
#include "engine/field/Pieces.h"
#include "engine/settings/HomeFolder.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/LayoutFile.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QUrl>

#include <stdexcept>

namespace {
const char* const kWebPage = "https://marulet.github.io/";

QAction* addItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    return item;
}

QAction* addSeparator(QMenu* menu, const char* name) {
    QAction* separator = menu->addSeparator();
    separator->setObjectName(QString::fromLatin1(name));
    return separator;
}

void showModeless(QWidget* dialog) {
    if (!dialog) return;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
} // namespace

void TMaruletMainForm::createMenus() {
    auto action = [this](const char* name, const QString& caption,
                         void (TMaruletMainForm::*run)()) {
        auto* a = new QAction(caption, ActionList1);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, run);
        return a;
    };
    AllOffAction = action("AllOffAction", QString(), &TMaruletMainForm::AllOffActionExecute);
    AllZzzAction = action("AllZzzAction", QString(), &TMaruletMainForm::AllZzzActionExecute);
    AllActAction = action("AllActAction", QString(), &TMaruletMainForm::AllActActionExecute);
    RestoreAction = action("RestoreAction", QString(), &TMaruletMainForm::RestoreActionExecute);
    DefPosAction = action("DefPosAction", QString(), &TMaruletMainForm::DefPosActionExecute);
    EnableGridAction =
        action("EnableGridAction", QString(), &TMaruletMainForm::EnableGridActionExecute);
    EnableGridAction->setCheckable(true);

    QMenu* file = MainMenu1->addMenu(QString());
    file->setObjectName(QStringLiteral("File1"));
    connect(addItem(file, "FileLoadPosItem", QString()), &QAction::triggered, this,
            &TMaruletMainForm::FileLoadPosItemClick);
    connect(addItem(file, "FileSavePosItem", QString()), &QAction::triggered, this,
            &TMaruletMainForm::FileSavePosItemClick);
    addRecordingItems(file);
    addSeparator(file, "N2");
    connect(addItem(file, "FileExitItem", QString()), &QAction::triggered, this,
            &TMaruletMainForm::FileExitItemClick);

    QMenu* pieceMenu = MainMenu1->addMenu(QString());
    pieceMenu->setObjectName(QStringLiteral("S1"));
    pieceMenu->addAction(AllOffAction);
    pieceMenu->addAction(AllZzzAction);
    pieceMenu->addAction(AllActAction);
    addSeparator(pieceMenu, "Sep_p_1");
    pieceMenu->addAction(DefPosAction);
    addSeparator(pieceMenu, "Sep_p_2");
    pieceMenu->addAction(EnableGridAction);
    connect(addItem(pieceMenu, "SetGridSizeItem", QString()), &QAction::triggered, this,
            &TMaruletMainForm::SetGridSizeItemClick);

    QMenu* options = MainMenu1->addMenu(QString());
    options->setObjectName(QStringLiteral("Option2"));
    QAction* optionItem = addItem(options, "OptionItem", QString());
    optionItem->setProperty("helpContext", 3);
    connect(optionItem, &QAction::triggered, this, &TMaruletMainForm::OptionItemClick);
    QAction* designItem = addItem(options, "DesignItem", QString());
    designItem->setProperty("helpContext", 4);
    connect(designItem, &QAction::triggered, this, &TMaruletMainForm::DesignItemClick);
    // Appended, so every item above keeps its place and access key.
    QMenu* language = options->addMenu(QString());
    language->setObjectName(QStringLiteral("LanguageMenu"));
    auto* languages = new QActionGroup(language);
    for (const auto& [name, code] :
         {std::pair{"JapaneseItem", "ja"}, std::pair{"EnglishItem", "en"}}) {
        QAction* item = addItem(language, name, QString());
        item->setCheckable(true);
        item->setData(QString::fromLatin1(code));
        languages->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, item] { setLanguage(item->data().toString()); });
    }

    QMenu* help = MainMenu1->addMenu(QString());
    help->setObjectName(QStringLiteral("Help1"));
    connect(addItem(help, "HelpContentsItem", QString()), &QAction::triggered, this,
            &TMaruletMainForm::HelpContentsItemClick);
    connect(addItem(help, "AboutItem", QString()), &QAction::triggered, this,
            &TMaruletMainForm::AboutItemClick);
    connect(addItem(help, "HelpGoWebItem", QString()), &QAction::triggered, this,
            &TMaruletMainForm::HelpGoWebItemClick);

    PopupMenu1->addAction(AllOffAction);
    PopupMenu1->addAction(AllZzzAction);
    PopupMenu1->addAction(AllActAction);
    addSeparator(PopupMenu1, "Pop_s1");
    connect(addItem(PopupMenu1, "PopOptionItem", QString()), &QAction::triggered, this,
            &TMaruletMainForm::OptionItemClick);
    connect(addItem(PopupMenu1, "PopDesignItem", QString()), &QAction::triggered, this,
            &TMaruletMainForm::DesignItemClick);
    addSeparator(PopupMenu1, "Pop_s2");
    PopupMenu1->addAction(RestoreAction);
    connect(addItem(PopupMenu1, "PopExitItem", QString()), &QAction::triggered, this,
            &TMaruletMainForm::FileExitItemClick);

    // The update handlers run whenever a menu is about to show.
    for (QMenu* menu : {file, pieceMenu, options, language, help, PopupMenu1})
        connect(menu, &QMenu::aboutToShow, this, &TMaruletMainForm::updateActions);
    retranslateMenus();
    updateActions();

    auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
    helpKey->setContext(Qt::ApplicationShortcut);
    connect(helpKey, &QShortcut::activated, this, &TMaruletMainForm::showHelpForActiveWindow);

    runFileDialog = [](QFileDialog& dialog) {
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().constFirst()
                   : QString();
    };
    tellUser = [this](const QString& message) {
        QMessageBox::warning(this, QStringLiteral("Marulet"), message);
    };
    askText = [this](const QString& caption, const QString& initial) {
        bool ok = false;
        const QString text =
            QInputDialog::getText(this, caption, QString(), QLineEdit::Normal, initial, &ok);
        return ok ? text : initial;
    };
}

// Captions are set here, at creation and again whenever the language changes.
void TMaruletMainForm::retranslateMenus() {
    const auto text = [this](const char* name, const QString& caption) {
        if (auto* item = findChild<QAction*>(QLatin1String(name))) item->setText(caption);
    };
    const auto title = [this](const char* name, const QString& caption) {
        if (auto* menu = findChild<QMenu*>(QLatin1String(name))) menu->setTitle(caption);
    };
    text("AllOffAction", tr("すべて休止(&A)"));
    text("AllZzzAction", tr("すべて休眠(&Z)"));
    text("AllActAction", tr("休眠状態をすべて解除(&R)"));
    text("RestoreAction", tr("元のサイズに戻す"));
    text("DefPosAction", tr("デフォルトの配置(&D)"));
    text("EnableGridAction", tr("グリッドに配置(&G)"));
    title("File1", tr("ファイル(&F)"));
    text("FileLoadPosItem", tr("配置の読み込み(&L)"));
    text("FileSavePosItem", tr("配置の保存(&S)"));
    text("FileExitItem", tr("終了(&X)"));
    title("S1", tr("駒操作(&P)"));
    text("SetGridSizeItem", tr("配置グリッドのサイズ指定(&S)..."));
    title("Option2", tr("オプション(&O)"));
    text("OptionItem", tr("サウンド／パラメータ(&S)..."));
    text("DesignItem", tr("デザイン(&D)..."));
    // The language menu reads the same in both languages, so it can be found.
    title("LanguageMenu", tr("言語 / Language(&L)"));
    text("JapaneseItem", tr("日本語(&J)"));
    text("EnglishItem", tr("English(&E)"));
    title("Help1", tr("ヘルプ(&H)"));
    text("HelpContentsItem", tr("目次(&C)"));
    text("AboutItem", tr("バージョン情報(&A)"));
    text("HelpGoWebItem", tr("Webページへ(&W)"));
    text("PopOptionItem", tr("サウンド／パラメータ(&S)"));
    text("PopDesignItem", tr("デザイン(&D)"));
    text("PopExitItem", tr("終了(&X)"));
    if (MidiRecItem) RecordingUpdate();
}

void TMaruletMainForm::updateActions() {
    RestoreActionUpdate();
    EnableGridActionUpdate();
    RecordingUpdate();
    for (const char* name : {"JapaneseItem", "EnglishItem"})
        if (auto* item = findChild<QAction*>(QLatin1String(name)))
            item->setChecked(item->data().toString() == m_translations.language());
}

void TMaruletMainForm::AllOffActionExecute() {
    for (auto& piece : pieces) {
        piece->level.fill(0.0);
        piece->rate.fill(0.0);
    }
}

void TMaruletMainForm::AllZzzActionExecute() {
    for (auto& piece : pieces)
        piece->Enabled = false;
}

void TMaruletMainForm::AllActActionExecute() {
    for (auto& piece : pieces)
        piece->Enabled = true;
}

void TMaruletMainForm::RestoreActionExecute() {
    setWindowState(windowState() &
                   ~(Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
}

void TMaruletMainForm::RestoreActionUpdate() {
    const bool maximised = windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
    RestoreAction->setVisible(prm.HideTitlebar && maximised);
}

void TMaruletMainForm::DefPosActionExecute() {
    PlaceOnDefaultGrid();
    m_field->refresh();
}

void TMaruletMainForm::EnableGridActionExecute() {
    prm.SnapGrid = !prm.SnapGrid;
    EnableGridActionUpdate();
}

void TMaruletMainForm::EnableGridActionUpdate() {
    EnableGridAction->setChecked(prm.SnapGrid);
}

void TMaruletMainForm::SetGridSizeItemClick() {
    const QString initial = QString::number(prm.GridSize);
    const QString text = askText(tr("配置グリッドのサイズ指定"), initial);
    if (text.isEmpty()) return;
    bool ok = false;
    int size = text.trimmed().toInt(&ok);
    if (!ok) size = 20;
    if (size > 0) prm.GridSize = size;
}

// Both layout dialogs are set up afresh on every use.
QFileDialog& TMaruletMainForm::prepareLayoutDialog(QFileDialog*& made, const char* name,
                                                   const QString& title) {
    if (!made) {
        made = new QFileDialog(this);
        made->setObjectName(QString::fromLatin1(name));
    }
    QFileDialog& dialog = *made;
    dialog.setWindowTitle(title);
    // Layout files match in any letter case; the pattern part is hidden so
    // the list shows the plain description.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilter(tr("配置情報ファイル (*.dat)") + QStringLiteral(" (*.[dD][aA][tT])"));
    dialog.setDefaultSuffix(QStringLiteral("DAT"));
    dialog.setDirectory(HomeFolder());
    dialog.selectFile(QStringLiteral("*.DAT"));
    dialog.setSizeGripEnabled(true);
    return dialog;
}

void TMaruletMainForm::FileSavePosItemClick() {
    QFileDialog& dialog = prepareLayoutDialog(SaveDialog1, "SaveDialog1", tr("配置情報の保存"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    // The folder must exist: a name in a missing one is refused, not made.
    // A file that cannot be read as a layout (a pipe, a huge file) is not
    // replaced either: the dialog comes back.
    std::unique_ptr<IniFile> chosen;
    while (!chosen) {
        const QString path = runFileDialog(dialog);
        if (path.isEmpty()) return;
        const QString folder = QFileInfo(path).absolutePath();
        if (!QFileInfo(folder).isDir()) {
            tellUser(tr("The folder %1 does not exist.\nChoose an existing folder for the layout "
                        "file; no folder is created.")
                         .arg(QDir::toNativeSeparators(folder)));
            continue;
        }
        chosen = std::make_unique<IniFile>(path);
        if (!chosen->readError().isEmpty()) {
            tellUser(tr("%1 was passed over: %2.\nThe layout is not saved there; choose another "
                        "file.")
                         .arg(QDir::toNativeSeparators(path), chosen->readError()));
            chosen.reset();
        }
    }
    IniFile& layout = *chosen;
    SavePiecePos(layout);
    if (!layout.flush())
        throw std::runtime_error(
            tr("The layout could not be saved: %1").arg(layout.lastError()).toStdString());
}

void TMaruletMainForm::FileLoadPosItemClick() {
    QFileDialog& dialog = prepareLayoutDialog(OpenDialog1, "OpenDialog1", tr("配置情報の読込"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QString path = runFileDialog(dialog);
    if (path.isEmpty()) return;
    const QString refused = LoadLayoutFile(path);
    if (!refused.isEmpty()) tellUser(refused);
    m_field->refresh();
}

void TMaruletMainForm::FileExitItemClick() {
    close();
}

void TMaruletMainForm::OptionItemClick() {
    showModeless(OptionDlg);
}

void TMaruletMainForm::DesignItemClick() {
    showModeless(DesignDlg);
}

HelpWindow& TMaruletMainForm::help() {
    if (!m_help) m_help = new HelpWindow(HelpWindow::pagesFor(m_translations.language()), this);
    return *m_help;
}

void TMaruletMainForm::setLanguage(const QString& language) {
    const QString applied = m_translations.apply(language);
    if (m_help) m_help->setPageFolder(HelpWindow::pagesFor(applied));
    updateActions();
}

void TMaruletMainForm::HelpContentsItemClick() {
    help().showContents();
}

void TMaruletMainForm::showHelpForActiveWindow() {
    int context = 1;
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        menu && menu->activeAction() && menu->activeAction()->property("helpContext").isValid()) {
        context = menu->activeAction()->property("helpContext").toInt();
    } else if (QWidget* active = QApplication::activeWindow()) {
        const QVariant own = active->property("helpContext");
        if (own.isValid()) context = own.toInt();
    }
    help().showTopic(context);
}

void TMaruletMainForm::AboutItemClick() {
    if (AboutBox) AboutBox->exec(); // modal; the timer goes on under it
}

void TMaruletMainForm::HelpGoWebItemClick() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebPage)));
}
