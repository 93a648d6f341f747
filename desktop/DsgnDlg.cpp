// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/DsgnDlg.h"

#include "desktop/DialogLook.h"
#include "desktop/MaruletApplication.h"
#include "engine/pictures/PictureLoading.h"
#include "engine/settings/HomeFolder.h"
#include "engine/settings/SettingsRecord.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <array>
#include <exception>

namespace {

constexpr int kPreviewSize = 160;

QColor toQColor(TColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

TColor fromQColor(const QColor& c) {
    return TColor(c.red() | (c.green() << 8) | (c.blue() << 16));
}

// The colour field of prm that a colour button edits, by its Tag.
TColor* colourOfTag(int tag) {
    switch (tag) {
    case 0:
        return &prm.Background;
    case 1:
        return &prm.NormalBrush;
    case 2:
        return &prm.NormalPen;
    case 3:
        return &prm.ActiveBrush;
    case 4:
        return &prm.ZzzBrush;
    default:
        return nullptr;
    }
}

QPushButton* makeButton(const QString& caption, QWidget* parent, const QRect& at) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(at);
    button->setAutoDefault(false); // Enter must not pick a colour
    return button;
}

QCheckBox* makeCheckBox(const QString& caption, QWidget* parent, const QRect& at) {
    auto* box = new QCheckBox(caption, parent);
    box->setGeometry(at);
    return box;
}

// A thumbnail of the file under the cursor, beside the file list. Only a
// scaled-down copy is decoded, and a file that does not decode shows nothing.
void addPreview(QFileDialog& dialog) {
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!grid) return;
    auto* preview = new QLabel(&dialog);
    preview->setObjectName(QStringLiteral("PicturePreview"));
    preview->setFixedSize(kPreviewSize, kPreviewSize);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    grid->addWidget(preview, 1, grid->columnCount(), 1, 1, Qt::AlignTop);
    QObject::connect(
        &dialog, &QFileDialog::currentChanged, preview, [preview](const QString& path) {
            preview->clear();
            if (!QFileInfo(path).isFile()) return;
            QImageReader reader(path);
            const QSize size = reader.size();
            const int room = kPreviewSize - 8;
            if (size.isValid() && (size.width() > room || size.height() > room))
                reader.setScaledSize(size.scaled(room, room, Qt::KeepAspectRatio));
            const QImage image = reader.read();
            if (image.isNull()) return;
            preview->setPixmap(QPixmap::fromImage(
                image.scaled(QSize(room, room).boundedTo(image.size()), Qt::KeepAspectRatio)));
        });
}

} // namespace

TDesignDlg::TDesignDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DesignDlg"));

    // Fixed frame, no minimise or maximise box, above the main window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint |
                   Qt::WindowStaysOnTopHint);
    setModal(false);
    setFixedSize(354, 181);
    move(451, 274); // the stored placement moves it before it is first shown
    QFont face;
    face.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("Noto Sans CJK JP")});
    face.setStyleHint(QFont::SansSerif);
    face.setPixelSize(12);
    setFont(face);

    // Created in tab order: the colour scheme, the picture, then the title bar.
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(8, 8, 337, 62);
    ColButton1 = makeButton(QString(), GroupBox1, QRect(8, 24, 73, 25));
    ColButton2 = makeButton(QString(), GroupBox1, QRect(104, 24, 50, 25));
    ColButton3 = makeButton(QString(), GroupBox1, QRect(154, 24, 50, 25));
    ColButton4 = makeButton(QString(), GroupBox1, QRect(210, 24, 50, 25));
    ColButton5 = makeButton(QString(), GroupBox1, QRect(263, 24, 50, 25));

    GroupBox2 = new QGroupBox(this);
    GroupBox2->setGeometry(8, 80, 337, 57);
    BgImgEdit = new QLineEdit(GroupBox2);
    BgImgEdit->setGeometry(8, 21, 237, 21);
    BgImgEdit->setReadOnly(true);
    BgImgEdit->setFocusPolicy(Qt::NoFocus);
    QPalette face2 = BgImgEdit->palette();
    face2.setColor(QPalette::Base, palette().color(QPalette::Button));
    BgImgEdit->setPalette(face2);
    BgImgBtn = makeButton(QStringLiteral("..."), GroupBox2, QRect(246, 18, 27, 25));
    BgImgCheckBox = makeCheckBox(QString(), GroupBox2, QRect(280, 14, 49, 17));
    StretchChkBox = makeCheckBox(QString(), GroupBox2, QRect(280, 34, 49, 17));

    HideTbarChkBox = makeCheckBox(QString(), this, QRect(16, 152, 185, 17));

    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    OpenPictDialog = new QFileDialog(this);
    OpenPictDialog->setObjectName(QStringLiteral("OpenPictDialog"));
    OpenPictDialog->setOption(QFileDialog::DontUseNativeDialog); // for the preview pane
    OpenPictDialog->setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name that names nothing comes back and is ignored, not refused.
    OpenPictDialog->setFileMode(QFileDialog::AnyFile);
    addPreview(*OpenPictDialog);

    m_runColorDialog = [](QColorDialog& dialog) {
        return dialog.exec() == QDialog::Accepted ? dialog.selectedColor() : QColor();
    };
    m_runPictureDialog = [](QFileDialog& dialog) {
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    m_reportError = &MaruletApplication::showError;

    const std::array<QPushButton*, 5> colourButtons{ColButton1, ColButton2, ColButton3, ColButton4,
                                                    ColButton5};
    for (int tag = 0; tag < int(colourButtons.size()); ++tag) {
        QPushButton* button = colourButtons[std::size_t(tag)];
        button->setProperty("Tag", tag);
        connect(button, &QPushButton::clicked, this, [this, button] { ColButtonClick(button); });
    }
    connect(BgImgBtn, &QPushButton::clicked, this, &TDesignDlg::BgImgBtnClick);
    // toggled, not clicked: a state set by code runs the handler as a click would.
    connect(BgImgCheckBox, &QCheckBox::toggled, this, &TDesignDlg::BgImgCheckBoxClick);
    connect(StretchChkBox, &QCheckBox::toggled, this, &TDesignDlg::StretchChkBoxClick);
    connect(HideTbarChkBox, &QCheckBox::toggled, this, &TDesignDlg::HideTbarChkBoxClick);
    retranslateUi();
    setTitleOnFrame(GroupBox1);
    setTitleOnFrame(GroupBox2);
}

void TDesignDlg::retranslateUi() {
    setWindowTitle(tr("デザイン設定"));
    GroupBox1->setTitle(tr("配色(&C)"));
    ColButton1->setText(tr("背景(&B)"));
    ColButton2->setText(tr("駒"));
    ColButton3->setText(tr("輪郭"));
    ColButton4->setText(tr("活性化"));
    ColButton5->setText(tr("休眠中"));
    // Assistive tools hear what each button colours, not a bare word.
    ColButton1->setAccessibleName(tr("背景の色"));
    ColButton1->setAccessibleDescription(tr("ウィンドウの背景の色を選びます"));
    ColButton2->setAccessibleName(tr("駒の色"));
    ColButton2->setAccessibleDescription(tr("静かな駒の本体と衛星の塗りの色を選びます"));
    ColButton3->setAccessibleName(tr("輪郭の色"));
    ColButton3->setAccessibleDescription(tr("本体と衛星の輪郭の色を選びます"));
    ColButton4->setAccessibleName(tr("活性化の色"));
    ColButton4->setAccessibleDescription(tr("高まった衛星と本体の塗りの色を選びます"));
    ColButton5->setAccessibleName(tr("休眠中の色"));
    ColButton5->setAccessibleDescription(tr("休眠中の駒の色を選びます"));
    BgImgBtn->setAccessibleName(tr("背景画像を選ぶ"));
    GroupBox2->setTitle(tr("背景画像(&I)"));
    BgImgCheckBox->setText(tr("有効"));
    StretchChkBox->setText(tr("拡大"));
    HideTbarChkBox->setText(tr("最大化時にタイトルバーを隠す"));
    for (QCheckBox* box : {BgImgCheckBox, StretchChkBox, HideTbarChkBox})
        widenToText(box);
    m_lastPictureFilter.clear(); // the filters' names change with the language
}

void TDesignDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslateUi();
    QDialog::changeEvent(event);
}

void TDesignDlg::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TDesignDlg::FormShow() {
    BgImgEdit->setText(prm.BgImage);
    BgImgCheckBox->setChecked(prm.EnableBgImage);
    StretchChkBox->setChecked(prm.StretchBgImage);
    HideTbarChkBox->setChecked(prm.HideTitlebar);
}

void TDesignDlg::ColButtonClick(QObject* Sender) {
    if (!Sender) return;
    const int tag = Sender->property("Tag").toInt();
    TColor* field = colourOfTag(tag);
    if (!field) return;
    ColorDialog1->setCurrentColor(toQColor(*field));
    const QColor chosen = m_runColorDialog(*ColorDialog1);
    if (!chosen.isValid()) return;
    const TColor colour = fromQColor(chosen);
    if (tag == 0) {
        // The window's colour: it repaints only when the colour is new.
        const bool changed = colour != prm.Background;
        prm.Background = colour;
        if (changed) repaintField(false);
        return;
    }
    *field = colour; // the pieces pick it up on their next tick
}

QString TDesignDlg::pictureFolder(const QString& bgImage, const QString& home) {
    const qsizetype cut =
        std::max({bgImage.lastIndexOf(QLatin1Char('/')), bgImage.lastIndexOf(QLatin1Char('\\')),
                  bgImage.lastIndexOf(QLatin1Char(':'))});
    QString folder = bgImage.left(cut + 1);
    if (folder.isEmpty()) return home;
    if (!folder.startsWith(QLatin1Char('/'))) folder = home + folder;
    // A folder carried over from another system, or one since removed.
    if (!QFileInfo(folder).isDir()) return home;
    return folder;
}

void TDesignDlg::preparePictureDialog() {
    QFileDialog& dialog = *OpenPictDialog;
    dialog.setWindowTitle(tr("背景画像の選択"));
    dialog.setNameFilters({tr("ビットマップ (*.bmp)"), tr("JPEGファイル(*.JPG)"),
                           tr("PNGファイル(*.PNG)"), tr("GIFファイル(*.GIF)")});
    // Setting the filters selects the first; bring back the user's last choice.
    if (!m_lastPictureFilter.isEmpty()) dialog.selectNameFilter(m_lastPictureFilter);
    dialog.setDefaultSuffix(QStringLiteral("BMP"));
    dialog.setDirectory(pictureFolder(prm.BgImage, HomeFolder()));
    dialog.selectFile(QString());
}

void TDesignDlg::BgImgBtnClick() {
    preparePictureDialog();
    const QString chosen = m_runPictureDialog(*OpenPictDialog);
    if (chosen.isEmpty()) return;
    m_lastPictureFilter = OpenPictDialog->selectedNameFilter();
    if (!QFileInfo(chosen).isFile()) {
        // A pipe or a device is never opened; the user hears why nothing changed.
        const QString passed = PassedOverPicture(chosen);
        if (!passed.isEmpty()) m_reportError(passed);
        return;
    }

    BgImgCheckBox->setChecked(true);
    prm.EnableBgImage = true;
    prm.BgImage = chosen;
    prm.StretchBgImage = StretchChkBox->isChecked();
    BgImgEdit->setText(prm.BgImage);
    // A fresh bitmap for the new picture; an empty one is reused as it is.
    if (!prm.bgBitmap || !prm.bgBitmap->isNull()) prm.bgBitmap = std::make_unique<QImage>();
    try {
        LoadPictureFile(prm.bgBitmap.get(), prm.BgImage);
    } catch (const std::exception& e) {
        // The path and boxes keep the new choice and the bitmap stays empty:
        // the field shows its colour alone, and the user learns why.
        repaintField(true);
        m_reportError(QString::fromUtf8(e.what()));
        return;
    }
    repaintField(true);
}

void TDesignDlg::BgImgCheckBoxClick() {
    prm.EnableBgImage = BgImgCheckBox->isChecked();
    repaintField(false);
}

void TDesignDlg::StretchChkBoxClick() {
    prm.StretchBgImage = StretchChkBox->isChecked();
    repaintField(false);
}

void TDesignDlg::HideTbarChkBoxClick() {
    // Applied by the main window the next time it is maximised.
    prm.HideTitlebar = HideTbarChkBox->isChecked();
}

void TDesignDlg::repaintField(bool pictureChanged) {
    if (pictureChanged)
        emit backgroundPictureChanged();
    else
        emit fieldLookChanged();
}
