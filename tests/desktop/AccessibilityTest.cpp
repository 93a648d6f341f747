// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/DsgnDlg.h"
#include "desktop/FieldView.h"
#include "desktop/MainForm.h"
#include "desktop/OptDlg.h"
#include "engine/field/Pieces.h"
#include "engine/midi/RecordingMidiService.h"
#include "engine/settings/SettingsRecord.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class AccessibilityTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<TMaruletMainForm> form;

    AccessibilityTest() {
        form = std::make_unique<TMaruletMainForm>(dir.filePath(QStringLiteral("marulet.INI")),
                                                  std::make_unique<RecordingMidiService>());
        form->createDialogs();
        form->FormShow();
        form->show();
        form->Timer1.stop();
        form->field()->resize(597, 377);
        QApplication::setActiveWindow(form.get());
        form->field()->setFocus(Qt::OtherFocusReason);
    }

    ~AccessibilityTest() override {
        form.reset();
        QGuiApplication::restoreOverrideCursor();
        resetPrm();
    }

    static QAccessibleInterface* of(QObject* object) {
        return QAccessible::queryAccessibleInterface(object);
    }
    QAccessibleInterface* field() { return of(form->field()); }
    // Windows retranslate on the language change event, which is posted.
    void speak(const char* language) {
        form->setLanguage(QString::fromLatin1(language));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    }
    QAccessibleInterface* piece(int i) { return field()->child(i); }
};

// The names of the labels that label a control (its caption).
QStringList labelsOf(QAccessibleInterface* control) {
    QStringList names;
    for (const auto& [label, relation] : control->relations(QAccessible::Label))
        if (label->role() == QAccessible::StaticText) names << label->text(QAccessible::Name);
    return names;
}

TEST_F(AccessibilityTest, TheFieldIsAListOfFortyNinePieces) {
    QAccessibleInterface* list = field();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("駒"));
    EXPECT_TRUE(list->text(QAccessible::Description).contains(QStringLiteral("Shift+F10")));
    ASSERT_EQ(list->childCount(), 49);
    for (int i = 0; i < 49; ++i) {
        QAccessibleInterface* item = list->child(i);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->role(), QAccessible::ListItem);
        EXPECT_EQ(list->indexOfChild(item), i);
        EXPECT_EQ(item->parent(), list);
        EXPECT_EQ(list->child(i), item); // the same interface every time
    }
    QAccessibleInterface* item = piece(24);
    EXPECT_EQ(item->text(QAccessible::Name), QStringLiteral("駒25、休止中"));
    EXPECT_EQ(item->text(QAccessible::Description), QStringLiteral("向き 0°、位置 280, 280"));
    const QRect body(form->field()->mapToGlobal(QPoint(280, 280)), QSize(24, 24));
    EXPECT_EQ(item->rect(), body);
    EXPECT_EQ(list->childAt(body.center().x(), body.center().y()), item);
    EXPECT_EQ(list->childAt(body.left() - 20, body.top() - 20), nullptr); // ground between
}

TEST_F(AccessibilityTest, APieceTellsItsStateFacingPlaceAndVoice) {
    FieldView& view = *form->field();
    view.setCurrentPiece(24);
    QAccessibleInterface* item = piece(24);
    QTest::keyClick(&view, Qt::Key_Space);
    EXPECT_EQ(item->text(QAccessible::Name), QStringLiteral("駒25、演奏中"));
    EXPECT_TRUE(item->state().animated);
    QTest::keyClick(&view, Qt::Key_T);
    EXPECT_EQ(item->text(QAccessible::Description), QStringLiteral("向き 45°、位置 280, 280"));
    QTest::keyClick(&view, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(item->text(QAccessible::Description), QStringLiteral("向き 45°、位置 300, 280"));

    // Excited once, its four satellites fire together: a note in voice 4.
    for (int tick = 0; tick < 300 && form->field()->lastVoice(24) == 0; ++tick)
        form->Timer1Timer();
    EXPECT_EQ(view.lastVoice(24), 4);
    EXPECT_TRUE(item->text(QAccessible::Name).startsWith(QStringLiteral("駒25、音色4、")));

    QTest::keyClick(&view, Qt::Key_Q);
    EXPECT_EQ(item->text(QAccessible::Name), QStringLiteral("駒25、音色4、休止中"));
    EXPECT_FALSE(item->state().animated);
    QTest::keyClick(&view, Qt::Key_N);
    EXPECT_EQ(item->text(QAccessible::Name), QStringLiteral("駒25、音色4、休眠中"));

    speak("en");
    EXPECT_EQ(field()->text(QAccessible::Name), QStringLiteral("Pieces"));
    EXPECT_EQ(item->text(QAccessible::Name), QStringLiteral("Piece 25, voice 4, asleep"));
    EXPECT_EQ(item->text(QAccessible::Description), QStringLiteral("turned 45°, at 300, 280"));
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(item->text(QAccessible::Name), QStringLiteral("Piece 25, voice 4, playing"));
    speak("ja");
}

TEST_F(AccessibilityTest, TheCurrentPieceIsTheFocusedItem) {
    FieldView& view = *form->field();
    ASSERT_TRUE(view.hasFocus());
    view.setCurrentPiece(10);
    EXPECT_EQ(field()->focusChild(), piece(10));
    EXPECT_TRUE(piece(10)->state().focused);
    EXPECT_FALSE(piece(11)->state().focused);
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_EQ(field()->focusChild(), piece(11));
    EXPECT_TRUE(piece(11)->state().focused);
    EXPECT_FALSE(piece(10)->state().focused);
    view.clearFocus();
    EXPECT_FALSE(piece(11)->state().focused);
    EXPECT_EQ(field()->focusChild(), nullptr);

    // A piece dragged out of the window is off the screen.
    EXPECT_FALSE(piece(11)->state().offscreen);
    pieces[11]->SetPosition(-100, 50, 0);
    EXPECT_TRUE(piece(11)->state().offscreen);
}

TEST_F(AccessibilityTest, APieceDoesWhatItsKeysDo) {
    QAccessibleActionInterface* actions = piece(5)->actionInterface();
    ASSERT_NE(actions, nullptr);
    EXPECT_EQ(actions->keyBindingsForAction(actions->pressAction()), QStringList{"Space"});
    actions->doAction(actions->pressAction());
    EXPECT_EQ(pieces[5]->rate[0], prm.ActiveLv);
    EXPECT_EQ(form->field()->currentPiece(), 5);
    actions->doAction(QStringLiteral("Turn"));
    EXPECT_DOUBLE_EQ(pieces[5]->Angle, 0.7853981633974483);
    actions->doAction(QStringLiteral("Quiet"));
    EXPECT_EQ(pieces[5]->rate[0], 0.0);
    actions->doAction(QStringLiteral("Sleep"));
    EXPECT_FALSE(pieces[5]->Enabled);
    actions->doAction(actions->showMenuAction());
    EXPECT_TRUE(form->PopupMenu1->isVisible());
    EXPECT_EQ(form->PopupMenu1->pos(), form->field()->mapToGlobal(QPoint(80 * 5 + 52, 52)));
    form->PopupMenu1->hide();
}

// Every control of both dialogs by its caption, in either language.
TEST_F(AccessibilityTest, TheDialogsControlsAreNamedByTheirCaptions) {
    TOptionDlg& sound = *form->OptionDlg;
    TDesignDlg& design = *form->DesignDlg;
    sound.show();
    for (const char* language : {"ja", "en"}) {
        speak(language);
        const bool ja = QLatin1String(language) == QLatin1String("ja");
        const auto caption = [&](const char* japanese, const char* english) {
            return ja ? QString::fromUtf8(japanese) : QString::fromUtf8(english);
        };
        EXPECT_EQ(of(sound.VolTrackBar)->text(QAccessible::Name), caption("音量", "Vol."));
        EXPECT_EQ(of(sound.ReachTrackBar)->text(QAccessible::Name), caption("到達距離", "Reach"));
        EXPECT_EQ(of(sound.ActLvTrackBar)->text(QAccessible::Name),
                  caption("高まり速度", "Rise rate"));
        EXPECT_EQ(labelsOf(of(sound.MidiDevCmbBox)), QStringList{caption("デバイス", "Device")});
        QComboBox* const lists[] = {sound.PrgCmbBox1, sound.PrgCmbBox2, sound.PrgCmbBox3,
                                    sound.PrgCmbBox4};
        for (int n = 1; n <= 4; ++n) {
            QAccessibleInterface* list = of(lists[n - 1]);
            EXPECT_EQ(labelsOf(list), QStringList{caption("音色%1", "Voice %1").arg(n)});
            EXPECT_EQ(list->text(QAccessible::Description),
                      caption("MIDI チャンネル %1", "MIDI channel %1").arg(n));
        }
        EXPECT_EQ(labelsOf(of(sound.ResPtnComboBox)),
                  QStringList{caption("反応パターン", "Response")});

        const std::pair<QPushButton*, QString> buttons[] = {
            {design.ColButton1, caption("背景の色", "Background colour")},
            {design.ColButton2, caption("駒の色", "Piece colour")},
            {design.ColButton3, caption("輪郭の色", "Outline colour")},
            {design.ColButton4, caption("活性化の色", "Active colour")},
            {design.ColButton5, caption("休眠中の色", "Asleep colour")},
            {design.BgImgBtn, caption("背景画像を選ぶ", "Choose the background picture")}};
        for (const auto& [button, name] : buttons)
            EXPECT_EQ(of(button)->text(QAccessible::Name), name);
        // What each colours, said in full.
        EXPECT_EQ(of(design.ColButton3)->text(QAccessible::Description),
                  caption("本体と衛星の輪郭の色を選びます",
                          "Chooses the outline of bodies and satellites"));
    }
    speak("ja");
}

TEST_F(AccessibilityTest, SlidersTellTheirValuesAsTheirCaptionsShowThem) {
    TOptionDlg& sound = *form->OptionDlg;
    sound.show();
    QAccessibleInterface* speed = of(sound.ActLvTrackBar);
    QAccessibleValueInterface* value = speed->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(speed->role(), QAccessible::Slider);
    EXPECT_EQ(speed->text(QAccessible::Value), QStringLiteral("1.0"));
    EXPECT_EQ(speed->text(QAccessible::Value), sound.Label_actLv->text());
    EXPECT_DOUBLE_EQ(value->currentValue().toDouble(), 1.0);
    EXPECT_DOUBLE_EQ(value->minimumValue().toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(value->maximumValue().toDouble(), 8.0);
    EXPECT_DOUBLE_EQ(value->minimumStepSize().toDouble(), 0.1); // one decimal, as shown

    sound.ActLvTrackBar->setValue(125);
    EXPECT_EQ(speed->text(QAccessible::Value), QStringLiteral("1.3"));
    EXPECT_EQ(speed->text(QAccessible::Value), sound.Label_actLv->text());
    EXPECT_DOUBLE_EQ(value->currentValue().toDouble(), 1.3);

    value->setCurrentValue(2.5);
    EXPECT_EQ(sound.ActLvTrackBar->value(), 250);
    EXPECT_DOUBLE_EQ(prm.ActiveLv, 2.5);
    value->setCurrentValue(20.0);
    EXPECT_EQ(sound.ActLvTrackBar->value(), 800);

    // The others count in what they show.
    EXPECT_EQ(of(sound.VolTrackBar)->text(QAccessible::Value), sound.Label_volume->text());
    EXPECT_EQ(of(sound.ReachTrackBar)->text(QAccessible::Value), sound.Label_reach->text());
}

} // namespace
