#include "app/FieldView.h"
#include "app/HomeFolder.h"
#include "app/IniFile.h"
#include "app/LayoutFile.h"
#include "app/MainForm.h"
#include "field/Pieces.h"
#include "sound/OptDlg.h"
#include "ui/About.h"
#include "ui/DsgnDlg.h"
#include "ui/HelpWindow.h"

#include <QAction>
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
    AllOffAction = action("AllOffAction", QStringLiteral("すべて休止(&A)"),
                          &TMaruletMainForm::AllOffActionExecute);
    AllZzzAction = action("AllZzzAction", QStringLiteral("すべて休眠(&Z)"),
                          &TMaruletMainForm::AllZzzActionExecute);
    AllActAction = action("AllActAction", QStringLiteral("休眠状態をすべて解除(&R)"),
                          &TMaruletMainForm::AllActActionExecute);
    RestoreAction = action("RestoreAction", QStringLiteral("元のサイズに戻す"),
                           &TMaruletMainForm::RestoreActionExecute);
    DefPosAction = action("DefPosAction", QStringLiteral("デフォルトの配置(&D)"),
                          &TMaruletMainForm::DefPosActionExecute);
    EnableGridAction = action("EnableGridAction", QStringLiteral("グリッドに配置(&G)"),
                              &TMaruletMainForm::EnableGridActionExecute);
    EnableGridAction->setCheckable(true);

    QMenu* file = MainMenu1->addMenu(QStringLiteral("ファイル(&F)"));
    file->setObjectName(QStringLiteral("File1"));
    connect(addItem(file, "FileLoadPosItem", QStringLiteral("配置の読み込み(&L)")),
            &QAction::triggered, this, &TMaruletMainForm::FileLoadPosItemClick);
    connect(addItem(file, "FileSavePosItem", QStringLiteral("配置の保存(&S)")), &QAction::triggered,
            this, &TMaruletMainForm::FileSavePosItemClick);
    addSeparator(file, "N2");
    connect(addItem(file, "FileExitItem", QStringLiteral("終了(&X)")), &QAction::triggered, this,
            &TMaruletMainForm::FileExitItemClick);

    QMenu* pieceMenu = MainMenu1->addMenu(QStringLiteral("駒操作(&P)"));
    pieceMenu->setObjectName(QStringLiteral("S1"));
    pieceMenu->addAction(AllOffAction);
    pieceMenu->addAction(AllZzzAction);
    pieceMenu->addAction(AllActAction);
    addSeparator(pieceMenu, "Sep_p_1");
    pieceMenu->addAction(DefPosAction);
    addSeparator(pieceMenu, "Sep_p_2");
    pieceMenu->addAction(EnableGridAction);
    connect(
        addItem(pieceMenu, "SetGridSizeItem", QStringLiteral("配置グリッドのサイズ指定(&S)...")),
        &QAction::triggered, this, &TMaruletMainForm::SetGridSizeItemClick);

    QMenu* options = MainMenu1->addMenu(QStringLiteral("オプション(&O)"));
    options->setObjectName(QStringLiteral("Option2"));
    QAction* optionItem =
        addItem(options, "OptionItem", QStringLiteral("サウンド／パラメータ(&S)..."));
    optionItem->setProperty("helpContext", 3);
    connect(optionItem, &QAction::triggered, this, &TMaruletMainForm::OptionItemClick);
    QAction* designItem = addItem(options, "DesignItem", QStringLiteral("デザイン(&D)..."));
    designItem->setProperty("helpContext", 4);
    connect(designItem, &QAction::triggered, this, &TMaruletMainForm::DesignItemClick);

    QMenu* help = MainMenu1->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("Help1"));
    connect(addItem(help, "HelpContentsItem", QStringLiteral("目次(&C)")), &QAction::triggered,
            this, &TMaruletMainForm::HelpContentsItemClick);
    connect(addItem(help, "AboutItem", QStringLiteral("パージョン情報(&A)")), &QAction::triggered,
            this, &TMaruletMainForm::AboutItemClick);
    connect(addItem(help, "HelpGoWebItem", QStringLiteral("Webページへ(&W)")), &QAction::triggered,
            this, &TMaruletMainForm::HelpGoWebItemClick);

    PopupMenu1->addAction(AllOffAction);
    PopupMenu1->addAction(AllZzzAction);
    PopupMenu1->addAction(AllActAction);
    addSeparator(PopupMenu1, "Pop_s1");
    connect(addItem(PopupMenu1, "PopOptionItem", QStringLiteral("サウンド／パラメータ(&S)")),
            &QAction::triggered, this, &TMaruletMainForm::OptionItemClick);
    connect(addItem(PopupMenu1, "PopDesignItem", QStringLiteral("デザイン(&D)")),
            &QAction::triggered, this, &TMaruletMainForm::DesignItemClick);
    addSeparator(PopupMenu1, "Pop_s2");
    PopupMenu1->addAction(RestoreAction);
    connect(addItem(PopupMenu1, "PopExitItem", QStringLiteral("終了(&X)")), &QAction::triggered,
            this, &TMaruletMainForm::FileExitItemClick);

    // The update handlers run whenever a menu is about to show.
    for (QMenu* menu : {file, pieceMenu, options, help, PopupMenu1})
        connect(menu, &QMenu::aboutToShow, this, &TMaruletMainForm::updateActions);
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

void TMaruletMainForm::updateActions() {
    RestoreActionUpdate();
    EnableGridActionUpdate();
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
    const QString text = askText(QStringLiteral("配置グリッドのサイズ指定"), initial);
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
    dialog.setNameFilter(QStringLiteral("配置情報ファイル (*.dat) (*.[dD][aA][tT])"));
    dialog.setDefaultSuffix(QStringLiteral("DAT"));
    dialog.setDirectory(HomeFolder());
    dialog.selectFile(QStringLiteral("*.DAT"));
    dialog.setSizeGripEnabled(true);
    return dialog;
}

void TMaruletMainForm::FileSavePosItemClick() {
    QFileDialog& dialog =
        prepareLayoutDialog(SaveDialog1, "SaveDialog1", QStringLiteral("配置情報の保存"));
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
    QFileDialog& dialog =
        prepareLayoutDialog(OpenDialog1, "OpenDialog1", QStringLiteral("配置情報の読込"));
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
    if (!m_help) m_help = new HelpWindow(this);
    return *m_help;
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
