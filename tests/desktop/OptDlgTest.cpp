// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/OptDlg.h"
#include "engine/midi/RecordingMidiService.h"
#include "engine/midi/TMidiPort.h"
#include "engine/settings/SettingsRecord.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QSlider>
#include <QTest>
#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// Recorded devices, some of whose names cannot be read.
class Devices : public RecordingMidiService {
public:
    using RecordingMidiService::RecordingMidiService;
    std::optional<QString> deviceName(unsigned index) override {
        if (std::find(unreadable.begin(), unreadable.end(), index) != unreadable.end())
            return std::nullopt;
        return RecordingMidiService::deviceName(index);
    }
    std::vector<unsigned> unreadable;
};

using Bytes = std::array<int, 3>;

// The dialog over a port that start-up has opened and programmed.
class OptDlgTest : public ::testing::Test {
protected:
    std::unique_ptr<Devices> service;
    std::unique_ptr<TOptionDlg> dlg;
    QLocale savedLocale;

    OptDlgTest() {
        resetPrm();
        prm.Volume = 90;
        prm.Reach = 100;
        prm.ActiveLv = 1.0;
        prm.ActivePtn = 0;
    }

    ~OptDlgTest() override {
        dlg.reset();
        midiPort.reset();
        service.reset();
        resetPrm();
        QLocale::setDefault(savedLocale);
    }

    void makePort(QStringList names = {QStringLiteral("Marulet Synth"), QStringLiteral("Port A"),
                                       QStringLiteral("Port B")},
                  std::uint32_t device = 0, std::array<int, 4> programs = {12, 5, 48, 73}) {
        service = std::make_unique<Devices>(std::move(names));
        midiPort = std::make_unique<TMidiPort>(*service);
        midiPort->deviceId = device;
        midiPort->Open();
        for (int channel = 0; channel < 4; ++channel) {
            midiPort->ProgramChange(channel, programs[channel]);
            midiPort->SetVolume(channel, prm.Volume);
        }
    }

    TOptionDlg& build() {
        dlg = std::make_unique<TOptionDlg>();
        return *dlg;
    }

    TOptionDlg& show() {
        if (!dlg) build();
        service->messages.clear();
        dlg->show();
        return *dlg;
    }

    void reopen() {
        dlg->close();
        dlg->show();
    }

    // What a user's choice in the drop-down does.
    static void pick(QComboBox* list, int index) {
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    std::vector<Bytes> sent() const {
        std::vector<Bytes> out;
        for (const auto& m : service->messages)
            out.push_back({m.status(), m.data1(), m.data2()});
        return out;
    }

    static std::vector<Bytes> volumes(int value) {
        return {{0xB0, 7, value}, {0xB1, 7, value}, {0xB2, 7, value}, {0xB3, 7, value}};
    }

    static QStringList items(const QComboBox* list) {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->itemText(i);
        return out;
    }
};

TEST_F(OptDlgTest, AFixedAlwaysOnTopWindowThatOnlyHides) {
    makePort();
    TOptionDlg& d = build();
    EXPECT_EQ(d.size(), QSize(251, 302));
    EXPECT_EQ(d.minimumSize(), d.maximumSize()); // the placement store's dialog frame
    EXPECT_TRUE(d.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(d.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(d.isModal());
    EXPECT_EQ(d.property("helpContext").toInt(), 3);
    EXPECT_TRUE(d.findChildren<QAbstractButton*>().isEmpty()); // no OK, no Cancel

    // Filled with the widest numbers, every caption stays clear of the control
    // to its right.
    prm.Reach = 300;
    prm.ActiveLv = 8.0;
    prm.Volume = 127;
    d.show();
    const std::pair<QLabel*, int> rightEdges[] = {
        {d.Label5, 69},       {d.Label1, 69}, {d.Label4, 69},      {d.Label6, 76},
        {d.Label_volume, 98}, {d.Label7, 76}, {d.Label_reach, 98}, {d.Label9, 77},
        {d.Label_actLv, 98},  {d.Label8, 82},
    };
    for (const auto& [label, limit] : rightEdges) // with a few pixels to spare
        EXPECT_LE(label->geometry().right() + 3, limit) << label->text().toStdString();
    EXPECT_EQ(d.Label6->font().families().value(0), QStringLiteral("ＭＳ Ｐゴシック"));
    EXPECT_EQ(d.Label6->font().pixelSize(), 13);

    // Escape hides it, as it hides the design dialog; so does the close box.
    QPointer<TOptionDlg> alive(&d);
    QTest::keyClick(&d, Qt::Key_Escape);
    ASSERT_TRUE(alive);
    EXPECT_TRUE(d.isHidden());
    d.show();
    d.close();
    ASSERT_TRUE(alive);
    EXPECT_TRUE(d.isHidden());
}

TEST_F(OptDlgTest, KeysStepTheSlidersAndTabWalksBothGroups) {
    makePort();
    TOptionDlg& d = show();
    service->messages.clear();
    QTest::keyClick(d.VolTrackBar, Qt::Key_Right);
    EXPECT_EQ(prm.Volume, 91);
    EXPECT_EQ(d.Label_volume->text(), QStringLiteral("91"));
    EXPECT_EQ(sent(), volumes(91));
    QTest::keyClick(d.ReachTrackBar, Qt::Key_PageUp);
    EXPECT_EQ(prm.Reach, 102);
    QTest::keyClick(d.ActLvTrackBar, Qt::Key_End);
    EXPECT_EQ(prm.ActiveLv, 8.0);

    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    d.MidiDevCmbBox->setFocus();
    const QWidget* expected[] = {d.MidiDevCmbBox,  d.PrgCmbBox1,   d.PrgCmbBox2,    d.PrgCmbBox3,
                                 d.PrgCmbBox4,     d.VolTrackBar,  d.ReachTrackBar, d.ActLvTrackBar,
                                 d.ResPtnComboBox, d.MidiDevCmbBox};
    for (const QWidget* w : expected) {
        EXPECT_EQ(QApplication::focusWidget(), w) << w->metaObject()->className();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST_F(OptDlgTest, ListsHoldTheDevicesThePrgNamesAndThePatterns) {
    makePort(
        {QStringLiteral("Marulet Synth"), QStringLiteral("Broken"), QStringLiteral("USB Keys")});
    service->unreadable = {1};
    TOptionDlg& d = build();
    EXPECT_EQ(items(d.MidiDevCmbBox),
              (QStringList{QStringLiteral("Marulet Synth"), QStringLiteral("<none>"),
                           QStringLiteral("USB Keys")}));

    for (QComboBox* list : {d.PrgCmbBox1, d.PrgCmbBox2, d.PrgCmbBox3, d.PrgCmbBox4}) {
        const QStringList names = items(list);
        ASSERT_EQ(names.size(), 128);
        EXPECT_EQ(names[0], QStringLiteral("Grand Pf"));
        EXPECT_EQ(names[12], QStringLiteral("Marimba"));
        EXPECT_EQ(names[33], QStringLiteral("E.Bass(Fingar)"));
        EXPECT_EQ(names[87], QStringLiteral("Lead8 Bass+Ld"));
        EXPECT_EQ(names[127], QStringLiteral("Gunshot"));
        for (const QString& name : names) {
            EXPECT_FALSE(name.isEmpty());
            EXPECT_LE(name.size(), 31);
            for (QChar c : name)
                EXPECT_LT(c.unicode(), 128) << name.toStdString();
        }
    }
    EXPECT_EQ(items(d.ResPtnComboBox),
              (QStringList{"1", "2 (1の前後反対)", "3", "4 (3の前後反対)", "ランダムに 1 または 2",
                           "ランダムに 3 または 4", "ランダムに 1 ～ 4"}));
}

TEST_F(OptDlgTest, WithNoDeviceTheListIsEmptyAndTheRestWorks) {
    makePort({});
    TOptionDlg& d = show();
    EXPECT_EQ(d.MidiDevCmbBox->count(), 0);
    EXPECT_EQ(d.MidiDevCmbBox->currentIndex(), -1);
    EXPECT_EQ(d.VolTrackBar->value(), 90);
    d.VolTrackBar->setValue(64);
    EXPECT_EQ(prm.Volume, 64);
    EXPECT_TRUE(service->messages.empty()); // the port is closed
    pick(d.PrgCmbBox3, 40);
    EXPECT_EQ(midiPort->programs[2], 40);
}

TEST_F(OptDlgTest, ShowingLoadsTheCurrentValuesAndRunsOnlySliderHandlers) {
    prm.Reach = 150;
    prm.ActiveLv = 1.25;
    prm.ActivePtn = 3;
    makePort({QStringLiteral("Marulet Synth"), QStringLiteral("Port A")}, 1);
    TOptionDlg& d = show();
    EXPECT_EQ(d.MidiDevCmbBox->currentIndex(), 1);
    EXPECT_EQ(d.PrgCmbBox1->currentIndex(), 12);
    EXPECT_EQ(d.PrgCmbBox2->currentIndex(), 5);
    EXPECT_EQ(d.PrgCmbBox3->currentIndex(), 48);
    EXPECT_EQ(d.PrgCmbBox4->currentIndex(), 73);
    EXPECT_EQ(d.Label_volume->text(), QStringLiteral("90"));
    EXPECT_EQ(d.Label_reach->text(), QStringLiteral("150"));
    EXPECT_EQ(d.Label_actLv->text(), QStringLiteral("1.3"));
    EXPECT_EQ(d.ReachTrackBar->value(), 150);
    EXPECT_EQ(d.ActLvTrackBar->value(), 125);
    EXPECT_EQ(d.ResPtnComboBox->currentIndex(), 3);
    // The volume slider moved from 0, so its handler sent the volume; the
    // lists sent nothing.
    EXPECT_EQ(sent(), volumes(90));
    EXPECT_EQ(d.Label_volume->size(), d.Label_volume->sizeHint()); // sized to its text
    EXPECT_EQ(prm.ActivePtn, 3);

    // Showing again with nothing changed moves nothing and sends nothing.
    service->messages.clear();
    reopen();
    EXPECT_TRUE(service->messages.empty());
    // The values are read afresh on every showing.
    d.close();
    prm.Reach = 250;
    d.show();
    EXPECT_EQ(d.ReachTrackBar->value(), 250);
    EXPECT_EQ(d.Label_reach->text(), QStringLiteral("250"));
}

TEST_F(OptDlgTest, ShowingClampsOutOfRangeNumbersIntoTheRecord) {
    prm.Volume = 200;
    prm.Reach = 20;
    prm.ActiveLv = 20.0;
    makePort();
    TOptionDlg& d = show();
    EXPECT_EQ(d.VolTrackBar->value(), 127);
    EXPECT_EQ(d.Label_volume->text(), QStringLiteral("127"));
    EXPECT_EQ(prm.Volume, 127);
    EXPECT_EQ(sent(), volumes(127));
    EXPECT_EQ(prm.Reach, 50);
    EXPECT_EQ(d.Label_reach->text(), QStringLiteral("50"));
    EXPECT_EQ(prm.ActiveLv, 8.0);
    EXPECT_EQ(d.Label_actLv->text(), QStringLiteral("8.0"));

    // Absurd values land at an end too.
    d.close();
    prm.Volume = -5;
    prm.ActiveLv = std::nan("");
    d.show();
    EXPECT_EQ(prm.Volume, 0);
    EXPECT_EQ(prm.ActiveLv, 0.5);
    EXPECT_EQ(d.Label_actLv->text(), QStringLiteral("0.5"));
}

TEST_F(OptDlgTest, OutOfRangeSelectionsShowNothingAndKeepTheStoredValue) {
    prm.ActivePtn = 9;
    makePort({QStringLiteral("Marulet Synth")}, 5, {0, 200, -1, 127});
    TOptionDlg& d = show();
    EXPECT_EQ(d.ResPtnComboBox->currentIndex(), -1);
    EXPECT_EQ(prm.ActivePtn, 9);
    EXPECT_EQ(d.MidiDevCmbBox->currentIndex(), -1);
    EXPECT_EQ(midiPort->deviceId, 5u);
    EXPECT_EQ(d.PrgCmbBox2->currentIndex(), -1);
    EXPECT_EQ(d.PrgCmbBox3->currentIndex(), -1);
    EXPECT_EQ(d.PrgCmbBox4->currentIndex(), 127);
    EXPECT_EQ(midiPort->programs[1], 200);
    EXPECT_EQ(midiPort->programs[2], -1);
}

TEST_F(OptDlgTest, EveryRisingSpeedPositionSurvivesReopening) {
    makePort();
    TOptionDlg& d = show();
    d.ActLvTrackBar->setValue(57);
    EXPECT_DOUBLE_EQ(prm.ActiveLv, 0.57); // 57 x 0.01, a hair above 0.57
    EXPECT_EQ(d.Label_actLv->text(), QStringLiteral("0.6"));
    for (int position = 50; position <= 800; ++position) {
        d.ActLvTrackBar->setValue(position);
        const double stored = prm.ActiveLv;
        EXPECT_EQ(stored, position * 0.01);
        d.ActLvTrackBar->setValue(position == 50 ? 51 : 50); // so that showing must move it back
        prm.ActiveLv = stored;
        reopen();
        EXPECT_EQ(d.ActLvTrackBar->value(), position);
        EXPECT_EQ(prm.ActiveLv, stored);
    }
}

TEST_F(OptDlgTest, RisingSpeedIsShownWithOneDecimalInTheLocalesSeparator) {
    const QLocale c = QLocale::c();
    const std::pair<double, const char*> cases[] = {
        {1.0, "1.0"},
        {0.5, "0.5"},
        {8.0, "8.0"},
        {1.25, "1.3"},
        {0.57, "0.6"},
        {7.95, "8.0"},
        {1.249, "1.3"} /* 1.25 first */,
        {9.996, "10.0"},
        {0.04, "0.0"},
        {-1.25, "-1.3"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(TOptionDlg::formatRisingSpeed(value, c), QString::fromLatin1(text)) << value;
    EXPECT_FALSE(TOptionDlg::formatRisingSpeed(1e300, c).isEmpty());

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    makePort();
    TOptionDlg& d = show();
    EXPECT_EQ(d.Label_actLv->text(), QStringLiteral("1,0"));
    d.ActLvTrackBar->setValue(125);
    EXPECT_EQ(d.Label_actLv->text(), QStringLiteral("1,3"));
}

TEST_F(OptDlgTest, PickingADeviceSilencesTheOldOneBeforeProgrammingTheNew) {
    makePort();
    TOptionDlg& d = show();
    const MidiHandle old = *midiPort->handle;
    service->messages.clear();

    QTest::keyClick(d.MidiDevCmbBox, Qt::Key_Down); // device 0 -> 1, as the user would
    ASSERT_EQ(d.MidiDevCmbBox->currentIndex(), 1);
    EXPECT_EQ(midiPort->deviceId, 1u);
    ASSERT_TRUE(midiPort->handle);
    const MidiHandle fresh = *midiPort->handle;
    EXPECT_NE(fresh, old);
    EXPECT_EQ(service->closed, std::vector<MidiHandle>{old});
    EXPECT_EQ(service->opened, (std::vector<unsigned>{0, 1}));

    std::vector<Bytes> expected;
    for (int channel = 0; channel < 16; ++channel)
        expected.push_back({0xB0 + channel, 123, 0});
    const std::vector<Bytes> reprogram = {{0xC0, 12, 0}, {0xB0, 7, 90}, {0xC1, 5, 0},
                                          {0xB1, 7, 90}, {0xC2, 48, 0}, {0xB2, 7, 90},
                                          {0xC3, 73, 0}, {0xB3, 7, 90}};
    expected.insert(expected.end(), reprogram.begin(), reprogram.end());
    EXPECT_EQ(sent(), expected);
    for (std::size_t i = 0; i < service->messages.size(); ++i)
        EXPECT_EQ(service->messages[i].handle, i < 16 ? old : fresh) << i;

    // Picking the same device again runs the whole change again.
    service->messages.clear();
    pick(d.MidiDevCmbBox, 1);
    EXPECT_EQ(sent(), expected);
    EXPECT_EQ(service->opened, (std::vector<unsigned>{0, 1, 1}));

    // A device that does not open leaves the port closed and the choice shown.
    service->failing = {2};
    service->messages.clear();
    pick(d.MidiDevCmbBox, 2);
    EXPECT_EQ(service->messages.size(), 16u);
    EXPECT_FALSE(midiPort->isOpen());
    EXPECT_EQ(midiPort->deviceId, 2u);
    EXPECT_EQ(d.MidiDevCmbBox->currentIndex(), 2);
    EXPECT_EQ(midiPort->programs[3], 73);
}

TEST_F(OptDlgTest, ReopeningListsThePortsPresentNowAndFindsTheChosenOneAgain) {
    makePort();
    TOptionDlg& d = show();
    pick(d.MidiDevCmbBox, 2);
    EXPECT_EQ(midiPort->savedChoice(), (MidiDeviceChoice{2, QStringLiteral("Port B")}));
    const MidiHandle onB = *midiPort->handle;

    // A device plugged in ahead of it: listed, and the choice moves along.
    d.close();
    service->setNames({"Marulet Synth", "New", "Port A", "Port B"});
    service->messages.clear();
    d.show();
    EXPECT_EQ(items(d.MidiDevCmbBox), (QStringList{"Marulet Synth", "New", "Port A", "Port B"}));
    EXPECT_EQ(d.MidiDevCmbBox->currentIndex(), 3);
    EXPECT_EQ(midiPort->deviceId, 3u);
    EXPECT_EQ(midiPort->handle, onB) << "the port plays on undisturbed";
    EXPECT_TRUE(service->messages.empty());

    // Its cable pulled while it plays: device 0 takes over, and the list says so.
    service->gone = {2};
    midiPort->NoteOn(0, 60, 100);
    EXPECT_EQ(midiPort->deviceId, 0u);
    d.close();
    service->setNames({"Marulet Synth", "New", "Port A"});
    d.show();
    EXPECT_EQ(items(d.MidiDevCmbBox), (QStringList{"Marulet Synth", "New", "Port A"}));
    EXPECT_EQ(d.MidiDevCmbBox->currentIndex(), 0);

    // Plugged in again: the next visit finds it by its name.
    d.close();
    service->gone.clear();
    service->setNames({"Marulet Synth", "Port B"});
    service->messages.clear();
    d.show();
    EXPECT_EQ(d.MidiDevCmbBox->currentIndex(), 1);
    EXPECT_EQ(midiPort->deviceId, 1u);
    EXPECT_EQ(service->opened.back(), 1u);
    ASSERT_TRUE(midiPort->handle);
    std::vector<Bytes> onNew;
    for (const auto& m : service->messages)
        if (m.handle == *midiPort->handle) onNew.push_back({m.status(), m.data1(), m.data2()});
    EXPECT_EQ(onNew, (std::vector<Bytes>{{0xC0, 12, 0},
                                         {0xB0, 7, 90},
                                         {0xC1, 5, 0},
                                         {0xB1, 7, 90},
                                         {0xC2, 48, 0},
                                         {0xB2, 7, 90},
                                         {0xC3, 73, 0},
                                         {0xB3, 7, 90}}));
}

TEST_F(OptDlgTest, ProgramVolumeReachAndPatternChangesGoStraightThrough) {
    makePort();
    TOptionDlg& d = show();
    service->messages.clear();
    pick(d.PrgCmbBox2, 12); // "Marimba" in the second list
    EXPECT_EQ(sent(), (std::vector<Bytes>{{0xC1, 12, 0}}));
    EXPECT_EQ(midiPort->programs[1], 12);
    EXPECT_EQ(midiPort->programs[0], 12);
    EXPECT_EQ(midiPort->programs[2], 48);

    service->messages.clear();
    d.VolTrackBar->setValue(100);
    EXPECT_EQ(prm.Volume, 100);
    EXPECT_EQ(d.Label_volume->text(), QStringLiteral("100"));
    EXPECT_EQ(sent(), volumes(100));

    service->messages.clear();
    d.ReachTrackBar->setValue(225);
    pick(d.ResPtnComboBox, 6);
    EXPECT_EQ(prm.Reach, 225);
    EXPECT_EQ(d.Label_reach->text(), QStringLiteral("225"));
    EXPECT_EQ(prm.ActivePtn, 6);
    EXPECT_TRUE(service->messages.empty());
}

} // namespace
