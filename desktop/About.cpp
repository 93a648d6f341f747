// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/About.h"

#include "Version.h"
#include "engine/program/ProductVersion.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace {

QFont dialogFont(int pixels) {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("Noto Sans CJK JP")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

// A fixed box: the text never grows it. A font whose line is taller than the
// box (Noto's is nearly one and a half times its size) gets a taller box
// around the same middle, so its letters are not cut off.
void placeLabel(QLabel* label, const QRect& box) {
    const int line = label->fontMetrics().height();
    QRect at = box;
    if (line > box.height()) {
        at.setHeight(line);
        at.moveCenter(box.center());
    }
    label->setGeometry(at);
    label->setAlignment(Qt::AlignCenter);
}

QLabel* makeLabel(const QString& text, QWidget* parent, const QRect& box) {
    auto* label = new QLabel(text, parent);
    placeLabel(label, box);
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFixedSize(298, 166);
    setFont(dialogFont(16));

    Q_INIT_RESOURCE(marulet); // the icon lives in a static library

    // A lowered outer bevel with a raised one inside it.
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 281, 113);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    auto* inner = new QFrame(Panel1);
    inner->setGeometry(1, 1, 281 - 2, 113 - 2);
    inner->setFrameStyle(QFrame::Panel | QFrame::Raised);
    inner->setLineWidth(1);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(18, 16, 33, 33);
    ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/marulet/icon.png")));
    ProgramIcon->setScaledContents(true);

    ProductName = makeLabel(QStringLiteral("Marulet"), Panel1, QRect(60, 24, 161, 19));
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont title = dialogFont(19);
    title.setBold(true);
    ProductName->setFont(title);
    placeLabel(ProductName, QRect(60, 24, 161, 19));
    QPalette navy = ProductName->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    ProductName->setPalette(navy);

    Version = makeLabel(QStringLiteral("Version"), Panel1, QRect(60, 59, 161, 16));
    Version->setObjectName(QStringLiteral("Version"));
    FreeSoftware = makeLabel(QString(), Panel1, QRect(60, 83, 161, 16));
    FreeSoftware->setObjectName(QStringLiteral("FreeSoftware"));

    OKButton = new QPushButton(this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 133, 75, 25);
    OKButton->setDefault(true); // Enter closes the dialog too
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    retranslateUi();
}

void TAboutBox::retranslateUi() {
    setWindowTitle(tr("バージョン情報"));
    FreeSoftware->setText(tr("フリーソフトウェア"));
    OKButton->setText(tr("OK"));
}

void TAboutBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslateUi();
    QDialog::changeEvent(event);
}

QString TAboutBox::versionLine(unsigned major, unsigned minor, unsigned build) {
    return QStringLiteral("Version ") + productVersionText(major, minor, build);
}

void TAboutBox::FormShow() {
    Version->setText(
        versionLine(marulet::kVersionMajor, marulet::kVersionMinor, marulet::kVersionPatch));
}

void TAboutBox::showEvent(QShowEvent* event) {
    FormShow();
    // Centred on the screen, the window's frame included.
    if (QScreen* where = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(where->geometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}
