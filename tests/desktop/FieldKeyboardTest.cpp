// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/FieldView.h"
#include "desktop/MainForm.h"
#include "engine/field/Pieces.h"
#include "engine/field/Random.h"
#include "engine/midi/RecordingMidiService.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/LayoutFile.h"
#include "engine/settings/SettingsRecord.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMetaEnum>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Where every piece stands and how it is excited, and what was sent.
struct Outcome {
    std::vector<std::array<double, 4>> levels, rates;
    std::vector<bool> awake;
    std::vector<double> angles;
    std::vector<std::pair<int, int>> places;
    std::vector<std::uint32_t> sent;
    bool operator==(const Outcome&) const = default;
};

class FieldKeyboardTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    RecordingMidiService* service = nullptr;
    std::unique_ptr<TMaruletMainForm> form;

    ~FieldKeyboardTest() override {
        form.reset();
        QGuiApplication::restoreOverrideCursor();
        resetPrm();
    }

    // A fresh main window, its timer held so the test ticks by hand, and
    // the keyboard in the field.
    void open() {
        form.reset();
        auto recorder = std::make_unique<RecordingMidiService>();
        service = recorder.get();
        form = std::make_unique<TMaruletMainForm>(dir.filePath(QStringLiteral("marulet.INI")),
                                                  std::move(recorder));
        form->createDialogs();
        form->FormShow();
        form->show();
        form->Timer1.stop();
        form->field()->resize(597, 377);
        QApplication::setActiveWindow(form.get());
        QTest::keyClick(&view(), Qt::Key_Tab); // the only stop: the field keeps the focus
    }

    FieldView& view() { return *form->field(); }
    static QPoint centreOf(int i) { return QPoint(pieces[i]->Xpos + 12, pieces[i]->Ypos + 12); }

    // Plays one gesture on piece 24 in a fresh window, then 400 ticks, and
    // tells what came of it.
    Outcome outcome(const std::function<void()>& gesture, const std::function<void()>& before) {
        open();
        reseedRandom(4321);
        if (before) before();
        view().setCurrentPiece(24);
        gesture();
        for (int tick = 0; tick < 400; ++tick)
            form->Timer1Timer();
        Outcome o;
        for (const auto& piece : pieces) {
            o.levels.push_back(piece->level);
            o.rates.push_back(piece->rate);
            o.awake.push_back(piece->Enabled);
            o.angles.push_back(piece->Angle);
            o.places.emplace_back(piece->Xpos, piece->Ypos);
        }
        for (const auto& m : service->messages)
            o.sent.push_back(m.packed);
        return o;
    }

    void expectSame(const std::function<void()>& mouse, const std::function<void()>& keys,
                    const std::function<void()>& before, const char* what) {
        const Outcome byMouse = outcome(mouse, before);
        const Outcome byKeys = outcome(keys, before);
        EXPECT_TRUE(byMouse == byKeys) << what;
        EXPECT_GT(byKeys.sent.size(), 16u) << what; // the field played
    }

    void click(Qt::MouseButton button, Qt::KeyboardModifiers shift) {
        QTest::mouseClick(&view(), button, shift, centreOf(24));
    }
    void drag(int dx, int dy) {
        const QPoint from = centreOf(24);
        QTest::mousePress(&view(), Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(&view(), from + QPoint(dx, dy));
        QTest::mouseRelease(&view(), Qt::LeftButton, Qt::NoModifier, from + QPoint(dx, dy));
    }
    void key(int k, Qt::KeyboardModifiers shift = Qt::NoModifier) {
        QTest::keyClick(&view(), Qt::Key(k), shift);
    }
};

// Some pieces already playing, so that every gesture shows in what follows.
void busyField() {
    for (int i : {17, 23, 24, 25, 31})
        pieces[i]->rate.fill(2.0 + i % 3);
}

TEST_F(FieldKeyboardTest, KeysPlayAPieceExactlyAsTheMouseGesturesDo) {
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
    for (int excite : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
        expectSame([&] { click(Qt::LeftButton, ctrl); }, [&] { key(excite); }, nullptr, "excite");
    expectSame([&] { click(Qt::LeftButton, shift); }, [&] { key(Qt::Key_T); }, busyField, "turn");
    expectSame([&] { click(Qt::RightButton, ctrl); }, [&] { key(Qt::Key_Q); }, busyField, "quiet");
    expectSame([&] { click(Qt::LeftButton, ctrl | shift); }, [&] { key(Qt::Key_N); }, busyField,
               "sleep");
    // A sleeping piece woken by the keys as by the mouse.
    const auto asleep = [] {
        busyField();
        pieces[24]->Enabled = false;
    };
    expectSame([&] { click(Qt::LeftButton, ctrl); }, [&] { key(Qt::Key_Space); }, asleep, "wake");
}

TEST_F(FieldKeyboardTest, KeysMoveAPieceAsADragDoesAndItSnapsAlike) {
    expectSame([&] { drag(20, 0); }, [&] { key(Qt::Key_Right, Qt::ControlModifier); }, busyField,
               "a grid step");
    expectSame([&] { drag(0, -4); },
               [&] { key(Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier); }, busyField,
               "a few pixels");

    // Snapping on: the drop lands on the grid, whichever moved it.
    const auto snapping = [] {
        busyField();
        prm.SnapGrid = true;
        prm.GridSize = 25;
        pieces[24]->SetPosition(287, 280, 0);
    };
    expectSame([&] { drag(4, 0); },
               [&] { key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier); }, snapping,
               "a few pixels, snapped");
    expectSame([&] { drag(0, 25); }, [&] { key(Qt::Key_Down, Qt::ControlModifier); }, snapping,
               "a grid step, snapped");
    open();
    prm.SnapGrid = true;
    prm.GridSize = 25;
    pieces[24]->SetPosition(287, 280, 0);
    view().setCurrentPiece(24);
    key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(std::pair(pieces[24]->Xpos, pieces[24]->Ypos), std::pair(300, 275));
    key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(pieces[24]->Xpos, 275);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); // the drag's cursor is gone again
}

TEST_F(FieldKeyboardTest, ArrowsGoToTheNearestPieceThatWay) {
    open();
    view().setCurrentPiece(24);
    const std::pair<int, int> steps[] = {{Qt::Key_Right, 25}, {Qt::Key_Down, 32},
                                         {Qt::Key_Left, 31},  {Qt::Key_Left, 30},
                                         {Qt::Key_Up, 23},    {Qt::Key_Up, 16}};
    for (const auto& [arrow, expected] : steps) {
        key(arrow);
        EXPECT_EQ(view().currentPiece(), expected);
    }
    view().setCurrentPiece(6);
    key(Qt::Key_Right); // nothing further right: it stays
    EXPECT_EQ(view().currentPiece(), 6);
    key(Qt::Key_Up);
    EXPECT_EQ(view().currentPiece(), 6);

    // An uneven layout: the nearest within 45 degrees of the arrow wins.
    for (const auto& piece : pieces)
        piece->SetPosition(-3000, 3000, 0);
    pieces[0]->SetPosition(100, 100, 0);
    pieces[1]->SetPosition(200, 210, 0);
    pieces[2]->SetPosition(260, 90, 0);
    pieces[3]->SetPosition(110, 300, 0);
    view().setCurrentPiece(0);
    key(Qt::Key_Right);
    EXPECT_EQ(view().currentPiece(), 2);
    key(Qt::Key_Left);
    EXPECT_EQ(view().currentPiece(), 0);
    key(Qt::Key_Down);
    EXPECT_EQ(view().currentPiece(), 1);
    key(Qt::Key_Down);
    EXPECT_EQ(view().currentPiece(), 3);

    // Page Down and Page Up go by number, round the end.
    view().setCurrentPiece(48);
    key(Qt::Key_PageDown);
    EXPECT_EQ(view().currentPiece(), 0);
    key(Qt::Key_PageUp);
    EXPECT_EQ(view().currentPiece(), 48);
}

TEST_F(FieldKeyboardTest, TheFirstFocusTakesThePieceNearestTheTopLeftAndShowsTheRing) {
    open(); // Tab was pressed in the field
    EXPECT_TRUE(view().hasFocus());
    EXPECT_EQ(view().currentPiece(), 0);
    EXPECT_TRUE(view().focusRingShown());
    EXPECT_EQ(view().focusRingRect().center(), centreOf(0) - QPoint(1, 1));

    const auto whiteIn = [&](const QRect& area) {
        const QImage shot = view().grab().toImage();
        int white = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (shot.pixelColor(x, y).lightness() > 200) ++white;
        return white;
    };
    const QRect ring = view().focusRingRect();
    EXPECT_GT(whiteIn(ring), 40); // drawn light on the black ground

    // The mouse hides it, and a key brings it back.
    QTest::mouseClick(&view(), Qt::LeftButton, Qt::NoModifier, QPoint(590, 370));
    EXPECT_FALSE(view().focusRingShown());
    EXPECT_EQ(whiteIn(ring), 0);
    key(Qt::Key_Right);
    EXPECT_TRUE(view().focusRingShown());
    EXPECT_EQ(view().currentPiece(), 1);

    // A click on a piece makes it the current one.
    QTest::mouseClick(&view(), Qt::LeftButton, Qt::ControlModifier, centreOf(40));
    EXPECT_EQ(view().currentPiece(), 40);
    EXPECT_FALSE(view().focusRingShown());

    // Away and back by Tab: the ring shows again, on the same piece.
    view().clearFocus();
    EXPECT_FALSE(view().focusRingShown());
    view().setFocus(Qt::BacktabFocusReason);
    EXPECT_TRUE(view().focusRingShown());
    EXPECT_EQ(view().currentPiece(), 40);
}

TEST_F(FieldKeyboardTest, WhenOtherPiecesLieFirstTheFirstFocusTakesTheOneNearestTheTopLeft) {
    open();
    form.reset();
    {
        // A layout whose piece 0 lies outside the window and piece 30 first.
        IniFile settings(dir.filePath(QStringLiteral("marulet.INI")));
        settings.WriteInteger(QStringLiteral("Piece0"), QStringLiteral("Xpos"), -400);
        settings.WriteInteger(QStringLiteral("Piece30"), QStringLiteral("Xpos"), 5);
        settings.WriteInteger(QStringLiteral("Piece30"), QStringLiteral("Ypos"), 3);
    }
    open();
    EXPECT_EQ(view().currentPiece(), 30);
}

TEST_F(FieldKeyboardTest, TheCurrentPieceIsKeptWhenTheLayoutIsResetOrLoaded) {
    open();
    view().setCurrentPiece(10);
    key(Qt::Key_T);
    pieces[10]->SetPosition(400, 350, 0);
    const QString layout = dir.filePath(QStringLiteral("moved.DAT"));
    {
        IniFile file(layout);
        SavePiecePos(file);
    }
    form->DefPosActionExecute();
    EXPECT_EQ(view().currentPiece(), 10);
    EXPECT_EQ(view().focusRingRect().center(), QPoint(3 * 80 + 52, 80 + 52) - QPoint(1, 1));

    form->runFileDialog = [&](QFileDialog&) { return layout; };
    form->FileLoadPosItemClick();
    EXPECT_EQ(view().currentPiece(), 10);
    EXPECT_EQ(view().focusRingRect().center(), QPoint(412, 362) - QPoint(1, 1));
}

TEST_F(FieldKeyboardTest, TheMenuKeysOpenTheContextMenuAtTheCurrentPiece) {
    open();
    view().setCurrentPiece(24);
    const QPoint at = view().mapToGlobal(centreOf(24));
    const auto opened = [&](const std::function<void()>& ask) {
        form->PopupMenu1->hide();
        QCursor::setPos(QPoint(5, 5)); // the pointer is elsewhere
        ask();
        const bool shown = form->PopupMenu1->isVisible();
        const QPoint corner = form->PopupMenu1->pos();
        form->PopupMenu1->hide();
        return shown && corner == at;
    };
    EXPECT_TRUE(opened([&] { key(Qt::Key_F10, Qt::ShiftModifier); }));
    EXPECT_TRUE(opened([&] { key(Qt::Key_Menu); }));
    EXPECT_TRUE(opened([&] {
        // What the window system sends for the menu key.
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(0, 0), QPoint(0, 0));
        QApplication::sendEvent(&view(), &event);
    }));
    EXPECT_FALSE(opened([&] { key(Qt::Key_F10); }));
    EXPECT_FALSE(pieces[24]->dragging);
}

TEST_F(FieldKeyboardTest, OtherKeysAndModifiersGoOnToTheWindow) {
    open();
    view().setCurrentPiece(24);
    QTest::keyPress(&view(), Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr); // the turn cursor, from the window
    QTest::keyRelease(&view(), Qt::Key_Shift, Qt::NoModifier);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    for (auto [k, shift] :
         {std::pair{Qt::Key_T, Qt::ShiftModifier}, std::pair{Qt::Key_Space, Qt::ControlModifier},
          std::pair{Qt::Key_Right, Qt::AltModifier}, std::pair{Qt::Key_X, Qt::NoModifier}})
        key(k, shift);
    EXPECT_EQ(pieces[24]->Angle, 0.0);
    EXPECT_EQ(pieces[24]->rate[0], 0.0);
    EXPECT_EQ(std::pair(pieces[24]->Xpos, pieces[24]->Ypos), std::pair(280, 280));
    EXPECT_EQ(view().currentPiece(), 24);
}

// The field's keys take nothing from the menus or from Qt's shortcuts; the
// arrows, Page Up and Down and Enter are Qt's standard keys only for moving
// and typing in text, which the field has none of.
TEST_F(FieldKeyboardTest, TheFieldsKeysAreNoAccessKeyAndNoStandardShortcut) {
    open();
    const QKeyCombination keys[] = {
        Qt::Key_Space,
        Qt::Key_T,
        Qt::Key_Q,
        Qt::Key_N,
        Qt::Key_Menu,
        QKeyCombination(Qt::ShiftModifier, Qt::Key_F10),
        QKeyCombination(Qt::ControlModifier, Qt::Key_Up),
        QKeyCombination(Qt::ControlModifier, Qt::Key_Down),
        QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Up),
        QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Down)};
    const QMetaEnum standard = QMetaEnum::fromType<QKeySequence::StandardKey>();
    for (int i = 0; i < standard.keyCount(); ++i) {
        const QString name = QString::fromLatin1(standard.key(i));
        const auto bindings =
            QKeySequence::keyBindings(QKeySequence::StandardKey(standard.value(i)));
        const bool textMove = name.startsWith(QLatin1String("MoveTo")) ||
                              name.startsWith(QLatin1String("Select")) ||
                              name.startsWith(QLatin1String("Insert"));
        for (const QKeySequence& binding : bindings) {
            for (const QKeyCombination key : keys)
                EXPECT_NE(binding, QKeySequence(key)) << name.toStdString();
            for (int arrow : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp,
                              Qt::Key_PageDown, Qt::Key_Return, Qt::Key_Enter})
                for (Qt::KeyboardModifiers shift : {Qt::KeyboardModifiers(Qt::NoModifier),
                                                    Qt::KeyboardModifiers(Qt::ControlModifier),
                                                    Qt::ControlModifier | Qt::ShiftModifier})
                    if (binding == QKeySequence(QKeyCombination(shift, Qt::Key(arrow)))) {
                        EXPECT_TRUE(textMove) << name.toStdString();
                    }
        }
    }
    // Access keys: Alt plus the letter on the menu bar, the letter alone in
    // an open menu, in either language.
    for (const char* language : {"ja", "en"}) {
        form->setLanguage(QString::fromLatin1(language));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QStringList captions;
        QList<QMenu*> menus = form->MainMenu1->findChildren<QMenu*>();
        menus << form->PopupMenu1;
        for (const QMenu* menu : menus) {
            captions << menu->title();
            for (const QAction* action : menu->actions())
                captions << action->text();
        }
        ASSERT_GT(captions.size(), 20);
        EXPECT_TRUE(captions.contains(QLatin1String(language) == QLatin1String("en")
                                          ? QStringLiteral("E&xit")
                                          : QStringLiteral("終了(&X)")));
        for (const QString& caption : captions) {
            const QKeySequence access = QKeySequence::mnemonic(caption);
            for (int letter : {Qt::Key_T, Qt::Key_Q, Qt::Key_N})
                EXPECT_NE(access, QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(letter))))
                    << caption.toStdString();
        }
    }
    form->setLanguage(QStringLiteral("ja"));
}

} // namespace
