// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/OptDlg.h"

#include "desktop/DialogLook.h"
#include "desktop/PrgNames.h"
#include "desktop/ScaledSlider.h"
#include "engine/midi/TMidiPort.h"
#include "engine/settings/SettingsRecord.h"

#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>

#include <climits>
#include <cmath>

namespace {

const char* const kNoDevice = QT_TRANSLATE_NOOP("TOptionDlg", "<none>");

const char* const kPatternTexts[] = {
    QT_TRANSLATE_NOOP("TOptionDlg", "1"),
    QT_TRANSLATE_NOOP("TOptionDlg", "2 (1の前後反対)"),
    QT_TRANSLATE_NOOP("TOptionDlg", "3"),
    QT_TRANSLATE_NOOP("TOptionDlg", "4 (3の前後反対)"),
    QT_TRANSLATE_NOOP("TOptionDlg", "ランダムに 1 または 2"),
    QT_TRANSLATE_NOOP("TOptionDlg", "ランダムに 3 または 4"),
    QT_TRANSLATE_NOOP("TOptionDlg", "ランダムに 1 ～ 4"),
};

// Labels grow with their text from a fixed top-left corner.
void setLabelText(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}

QLabel* makeLabel(QWidget* parent, int left, int top, const QString& text) {
    auto* label = new QLabel(parent);
    label->move(left, top);
    setLabelText(label, text);
    return label;
}

QComboBox* makeList(QWidget* parent, int left, int top, int width) {
    auto* list = new QComboBox(parent);
    list->setEditable(false);
    list->setGeometry(left, top, width, 21);
    return list;
}

QSlider* setUpSlider(QSlider* slider, const QRect& geometry, int minimum, int maximum, int tick,
                     int position) {
    slider->setGeometry(geometry);
    slider->setRange(minimum, maximum);
    slider->setValue(position);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(tick);
    slider->setSingleStep(1);
    slider->setPageStep(2);
    slider->setFocusPolicy(Qt::StrongFocus);
    return slider;
}

QSlider* makeSlider(QWidget* parent, const QRect& geometry, int minimum, int maximum, int tick,
                    int position) {
    return setUpSlider(new QSlider(Qt::Horizontal, parent), geometry, minimum, maximum, tick,
                       position);
}

// A selection set by the program runs no handler; an index outside the list
// selects nothing.
void selectIndex(QComboBox* list, qint64 index) {
    const QSignalBlocker quiet(list);
    list->setCurrentIndex(index >= 0 && index < list->count() ? static_cast<int>(index) : -1);
}

// The rising-speed slider counts hundredths. Out-of-range and non-numbers
// land beyond an end, so the slider clamps them.
int risingSpeedPosition(double value) {
    const double scaled = value * 100.0;
    if (std::isnan(scaled)) return INT_MIN;
    if (scaled <= INT_MIN) return INT_MIN;
    if (scaled >= INT_MAX) return INT_MAX;
    return static_cast<int>(std::lround(scaled));
}

} // namespace

TOptionDlg::TOptionDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OptionDlg"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setModal(false);
    setFixedSize(251, 302);
    move(414, 433); // replaced by the stored placement before the first showing
    // The layout is in pixels and tight: an 11-pixel face with Japanese
    // glyphs keeps every caption clear of the control beside it.
    QFont dialogFont = font();
    dialogFont.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("sans-serif")});
    dialogFont.setStyleHint(QFont::SansSerif);
    dialogFont.setPixelSize(11);
    setFont(dialogFont);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(7, 2, 237, 167);
    Label5 = makeLabel(GroupBox1, 21, 17, QString());
    MidiDevCmbBox = makeList(GroupBox1, 69, 14, 161);
    QLabel** voiceLabels[] = {&Label1, &Label2, &Label3, &Label4};
    QComboBox** programLists[] = {&PrgCmbBox1, &PrgCmbBox2, &PrgCmbBox3, &PrgCmbBox4};
    for (int channel = 0; channel < 4; ++channel) {
        const int top = 43 + 21 * channel;
        *voiceLabels[channel] = makeLabel(GroupBox1, 28, top + 3, QString());
        QComboBox* list = makeList(GroupBox1, 69, top, 161);
        list->setProperty("Tag", channel); // the channel it plays
        *programLists[channel] = list;
    }
    Label6 = makeLabel(GroupBox1, 41, 139, QString());
    QFont volumeFont = Label6->font();
    volumeFont.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("Noto Sans CJK JP"),
                            QStringLiteral("sans-serif")});
    volumeFont.setStyleHint(QFont::SansSerif);
    volumeFont.setPixelSize(13);
    Label6->setFont(volumeFont);
    Label_volume = makeLabel(GroupBox1, 76, 139, QStringLiteral("000"));
    VolTrackBar = makeSlider(GroupBox1, QRect(98, 133, 132, 30), 0, 127, 8, 0);

    GroupBox2 = new QGroupBox(this);
    GroupBox2->setGeometry(7, 180, 237, 114);
    Label7 = makeLabel(GroupBox2, 14, 21, QString());
    Label_reach = makeLabel(GroupBox2, 76, 21, QStringLiteral("000"));
    ReachTrackBar = makeSlider(GroupBox2, QRect(98, 14, 132, 28), 50, 300, 25, 100);
    Label9 = makeLabel(GroupBox2, 15, 52, QString());
    Label_actLv = makeLabel(GroupBox2, 77, 52, QStringLiteral("0.0"));
    // Counts hundredths; assistive tools hear the speed as its caption shows it.
    ActLvTrackBar =
        setUpSlider(new ScaledSlider(0.01, 1, &TOptionDlg::formatRisingSpeed, GroupBox2),
                    QRect(98, 45, 132, 28), 50, 800, 94, 100);
    Label8 = makeLabel(GroupBox2, 15, 84, QString());
    ResPtnComboBox = makeList(GroupBox2, 82, 81, 141);

    // Each control is announced by the caption beside it.
    Label5->setBuddy(MidiDevCmbBox);
    Label1->setBuddy(PrgCmbBox1);
    Label2->setBuddy(PrgCmbBox2);
    Label3->setBuddy(PrgCmbBox3);
    Label4->setBuddy(PrgCmbBox4);
    Label6->setBuddy(VolTrackBar);
    Label7->setBuddy(ReachTrackBar);
    Label9->setBuddy(ActLvTrackBar);
    Label8->setBuddy(ResPtnComboBox);

    setTabOrder(MidiDevCmbBox, PrgCmbBox1);
    setTabOrder(PrgCmbBox1, PrgCmbBox2);
    setTabOrder(PrgCmbBox2, PrgCmbBox3);
    setTabOrder(PrgCmbBox3, PrgCmbBox4);
    setTabOrder(PrgCmbBox4, VolTrackBar);
    setTabOrder(VolTrackBar, ReachTrackBar);
    setTabOrder(ReachTrackBar, ActLvTrackBar);
    setTabOrder(ActLvTrackBar, ResPtnComboBox);

    // Lists answer only the user's choice (activated), which also fires when
    // the same entry is picked again; sliders answer every move, the
    // program's included.
    connect(MidiDevCmbBox, &QComboBox::activated, this, &TOptionDlg::MidiDevCmbBoxChange);
    for (QComboBox* list : {PrgCmbBox1, PrgCmbBox2, PrgCmbBox3, PrgCmbBox4})
        connect(list, &QComboBox::activated, this, [this, list] { PrgCmbBoxChange(list); });
    connect(VolTrackBar, &QSlider::valueChanged, this, &TOptionDlg::VolTrackBarChange);
    connect(ReachTrackBar, &QSlider::valueChanged, this, &TOptionDlg::ReachTrackBarChange);
    connect(ActLvTrackBar, &QSlider::valueChanged, this, &TOptionDlg::ActLvTrackBarChange);
    connect(ResPtnComboBox, &QComboBox::activated, this, &TOptionDlg::ResPtnComboBoxChange);

    FormCreate();
    retranslateUi();
    setTitleOnFrame(GroupBox1);
    setTitleOnFrame(GroupBox2);
}

void TOptionDlg::retranslateUi() {
    setWindowTitle(tr("サウンド/パラメータ"));
    GroupBox1->setTitle(tr("MIDI"));
    setLabelText(Label5, tr("デバイス"));
    QLabel* const voiceLabels[] = {Label1, Label2, Label3, Label4};
    for (int channel = 0; channel < 4; ++channel) {
        setLabelText(voiceLabels[channel], tr("音色%1").arg(channel + 1));
        // A list's name is its label; what it plays on is its description.
        programList(channel)->setAccessibleDescription(tr("MIDI チャンネル %1").arg(channel + 1));
    }
    setLabelText(Label6, tr("音量"));
    GroupBox2->setTitle(tr("パラメータ"));
    setLabelText(Label7, tr("到達距離"));
    setLabelText(Label9, tr("高まり速度"));
    setLabelText(Label8, tr("反応パターン"));
    // Every caption clear of the control to its right, in either language.
    for (const auto& [label, limit] :
         {std::pair{Label5, 69}, std::pair{Label1, 69}, std::pair{Label2, 69},
          std::pair{Label3, 69}, std::pair{Label4, 69}, std::pair{Label6, 76},
          std::pair{Label7, 76}, std::pair{Label9, 77}, std::pair{Label8, 82}})
        fitLabelBefore(label, limit);
    for (int i = 0; i < ResPtnComboBox->count(); ++i)
        ResPtnComboBox->setItemText(i, tr(kPatternTexts[i]));
}

void TOptionDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslateUi();
    QDialog::changeEvent(event);
}

QString TOptionDlg::formatRisingSpeed(double value, const QLocale& locale) {
    if (!std::isfinite(value)) return locale.toString(value);
    // Work on the decimal digits, so that 1.25 rounds up as written.
    const QString scientific = QString::number(std::fabs(value), 'e', 14); // d.dddde±x
    const qsizetype e = scientific.indexOf(QLatin1Char('e'));
    qint64 mantissa = (scientific.left(1) + scientific.mid(2, e - 2)).toLongLong(); // 15 digits
    int exponent = scientific.mid(e + 1).toInt();
    // Three significant digits: value = mantissa * 10^(exponent - 2).
    mantissa = (mantissa + 500'000'000'000) / 1'000'000'000'000;
    if (mantissa >= 1000) {
        mantissa /= 10;
        ++exponent;
    }
    if (exponent > 16) return locale.toString(value, 'e', 2); // too wide for fixed tenths
    // Then whole tenths.
    qint64 tenths = 0;
    if (exponent >= 1) {
        tenths = mantissa;
        for (int i = 1; i < exponent; ++i)
            tenths *= 10;
    } else if (exponent >= -2) {
        qint64 divisor = 1;
        for (int i = exponent; i < 1; ++i)
            divisor *= 10;
        tenths = (mantissa + divisor / 2) / divisor;
    }
    const QString sign = value < 0 && tenths != 0 ? locale.negativeSign() : QString();
    return sign + QString::number(tenths / 10) + locale.decimalPoint() +
           QString::number(tenths % 10);
}

void TOptionDlg::FormCreate() {
    MidiDevCmbBox->clear();
    if (midiPort) {
        // The list index is the device index, so an unreadable name keeps its place.
        MidiOutService& service = midiPort->service();
        const unsigned count = midiPort->GetNumDevs();
        for (unsigned device = 0; device < count; ++device)
            MidiDevCmbBox->addItem(service.deviceName(device).value_or(tr(kNoDevice)));
    }
    QStringList names;
    for (const auto& name : PrgNames)
        names << QString::fromLatin1(name);
    for (int channel = 0; channel < 4; ++channel) {
        programList(channel)->clear();
        programList(channel)->addItems(names);
    }
    ResPtnComboBox->clear();
    for (const char* text : kPatternTexts)
        ResPtnComboBox->addItem(tr(text));
}

void TOptionDlg::FormShow() {
    selectIndex(MidiDevCmbBox, midiPort ? qint64(midiPort->deviceId) : -1);
    for (int channel = 0; channel < 4; ++channel)
        selectIndex(programList(channel), midiPort ? midiPort->programs[channel] : -1);
    // A slider that clamps or moves runs its handler, which stores the value it shows.
    setLabelText(Label_volume, QString::number(prm.Volume));
    VolTrackBar->setValue(prm.Volume);
    setLabelText(Label_reach, QString::number(prm.Reach));
    ReachTrackBar->setValue(prm.Reach);
    setLabelText(Label_actLv, formatRisingSpeed(prm.ActiveLv));
    ActLvTrackBar->setValue(risingSpeedPosition(prm.ActiveLv));
    selectIndex(ResPtnComboBox, prm.ActivePtn);
}

void TOptionDlg::MidiDevCmbBoxChange() {
    const int device = MidiDevCmbBox->currentIndex();
    if (!midiPort || device < 0) return;
    // Close silences the old device before anything reaches the new one.
    midiPort->Close();
    midiPort->deviceId = static_cast<std::uint32_t>(device);
    midiPort->Open();
    for (int channel = 0; channel < 4; ++channel) {
        midiPort->ProgramChange(channel, midiPort->programs[channel]);
        midiPort->SetVolume(channel, prm.Volume);
    }
}

void TOptionDlg::PrgCmbBoxChange(QObject* Sender) {
    auto* list = qobject_cast<QComboBox*>(Sender);
    if (!list || !midiPort || list->currentIndex() < 0) return;
    midiPort->ProgramChange(list->property("Tag").toInt(), list->currentIndex());
}

void TOptionDlg::VolTrackBarChange() {
    prm.Volume = VolTrackBar->value();
    setLabelText(Label_volume, QString::number(prm.Volume));
    if (!midiPort) return;
    for (int channel = 0; channel < 4; ++channel)
        midiPort->SetVolume(channel, prm.Volume);
}

void TOptionDlg::ReachTrackBarChange() {
    prm.Reach = ReachTrackBar->value();
    setLabelText(Label_reach, QString::number(prm.Reach));
}

void TOptionDlg::ActLvTrackBarChange() {
    prm.ActiveLv = ActLvTrackBar->value() * 0.01;
    setLabelText(Label_actLv, formatRisingSpeed(prm.ActiveLv));
}

void TOptionDlg::ResPtnComboBoxChange() {
    prm.ActivePtn = ResPtnComboBox->currentIndex();
}

void TOptionDlg::showEvent(QShowEvent* event) {
    // A window manager's own show (leaving the minimised state) is no new showing.
    if (!event->spontaneous()) FormShow();
    QDialog::showEvent(event);
}

QComboBox* TOptionDlg::programList(int channel) const {
    QComboBox* const lists[] = {PrgCmbBox1, PrgCmbBox2, PrgCmbBox3, PrgCmbBox4};
    return lists[channel];
}
