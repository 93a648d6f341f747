// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/MainForm.h"

#include "desktop/About.h"
#include "desktop/DsgnDlg.h"
#include "desktop/FieldView.h"
#include "desktop/MaruletApplication.h"
#include "desktop/OptDlg.h"
#include "desktop/Recording.h"
#include "desktop/WidgetPlacement.h"
#include "engine/field/FieldTick.h"
#include "engine/field/Pieces.h"
#include "engine/midi/MidiOutService.h"
#include "engine/midi/SoundWarning.h"
#include "engine/midi/TMidiPort.h"
#include "engine/placement/WindowPlacementStore.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/LayoutFile.h"
#include "engine/settings/SettingsFile.h"
#include "engine/settings/SettingsRecord.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSessionManager>
#include <algorithm>

TMaruletMainForm* MaruletMainForm = nullptr;

TMaruletMainForm::TMaruletMainForm(const QString& settingsPath,
                                   std::unique_ptr<MidiOutService> service, QWidget* parent)
    : QMainWindow(parent), m_midiService(std::move(service)),
      m_recording(
          std::make_unique<Recording>(*m_midiService, Recording::audioHostOf(*m_midiService))) {
    MaruletMainForm = this;
    setObjectName(QStringLiteral("MaruletMainForm"));
    setWindowTitle(QStringLiteral("Marulet"));
    setProperty("helpContext", 1); // F1 here opens the topic on playing the field
    m_field = new FieldView(this);
    setCentralWidget(m_field);
    m_field->resize(597, 377);
    resize(597, 377);

    MainMenu1 = menuBar();
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    ActionList1 = new QObject(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));

    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(50);
    connect(&Timer1, &QTimer::timeout, this, &TMaruletMainForm::Timer1Timer);
    connect(m_field, &FieldView::backgroundPressed, this, &TMaruletMainForm::FormMouseDown);

    createMenus();
    FormCreate(settingsPath);

    // Logging out: the session asks for our data, or ends the loop outright.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &TMaruletMainForm::quitSaving);
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        m_quietClose = true;
        FormClose();
    });
}

TMaruletMainForm::~TMaruletMainForm() {
    FormDestroy();
    if (MaruletMainForm == this) MaruletMainForm = nullptr;
}

void TMaruletMainForm::FormCreate(const QString& settingsPath) {
    iniFile = std::make_unique<IniFile>(settingsPath);
    setLanguage(iniFile->ReadString(QStringLiteral("General"), QStringLiteral("Language"),
                                    QStringLiteral("ja")));
    const SettingsReadResult read = ReadSettings(*iniFile, m_recording->output());
    m_pictureError = read.pictureError;
    if (!read.settingsError.isEmpty())
        m_pictureError = read.settingsError +
                         (m_pictureError.isEmpty() ? QString() : QStringLiteral("\n\n")) +
                         m_pictureError;
    m_settingsPath = settingsPath;
    if (midiPort) {
        m_soundWarning =
            SoundWarningAtStart(*m_midiService, *midiPort, read.missingDevice, settingsPath);
        // The sound output opens in the background: one that fails after
        // the window is up is told once too.
        if (!m_midiService->deviceProblem(0)) m_outputWatchTicks = kOutputWatchTicks;
    }
    m_cursors.loadPieceCursors();
    CreatePieces(*this, this);
}

void TMaruletMainForm::createDialogs() {
    OptionDlg = new TOptionDlg(this);
    DesignDlg = new TDesignDlg(this);
    connect(DesignDlg, &TDesignDlg::fieldLookChanged, m_field, qOverload<>(&QWidget::update));
    connect(DesignDlg, &TDesignDlg::backgroundPictureChanged, m_field, &FieldView::pictureChanged);
    AboutBox = new TAboutBox(this);
}

void TMaruletMainForm::FormShow() {
    if (m_shown) return;
    m_shown = true;
    WidgetPlacement main(*this);
    LoadMainFormPos(main, *iniFile, main, 800, 600);
    // The dialogs' default places follow the restored top-left corner, also
    // when the window opens maximised.
    const QPoint corner(main.normalLeft(), main.normalTop());
    if (OptionDlg) {
        WidgetPlacement dialog(*OptionDlg);
        LoadFormPos(dialog, *iniFile, dialog, corner.x() + 50, corner.y() + 50, 0, 0);
    }
    if (DesignDlg) {
        WidgetPlacement dialog(*DesignDlg);
        LoadFormPos(dialog, *iniFile, dialog, corner.x() + 100, corner.y() + 100, 0, 0);
    }
    LoadPiecePos(*iniFile);
    m_field->refresh();
    m_field->setFocus();
    Timer1.start();
    if (!m_pictureError.isEmpty()) {
        // Shown once the window is up, with everything else already built.
        QTimer::singleShot(0, this, [this] {
            MaruletApplication::showError(m_pictureError);
            m_pictureError.clear();
        });
    }
    if (!m_soundWarning.isEmpty()) {
        QTimer::singleShot(0, this, [this] {
            QMessageBox::warning(this, QStringLiteral("Marulet"), m_soundWarning);
            m_soundWarning.clear();
        });
    }
}

void TMaruletMainForm::FormClose() {
    if (m_closed) return;
    m_closed = true;
    Timer1.stop();
    WidgetPlacement main(*this);
    SaveMainFormPos(main, *iniFile);
    if (OptionDlg) {
        WidgetPlacement dialog(*OptionDlg);
        SaveFormPos(dialog, *iniFile);
    }
    if (DesignDlg) {
        WidgetPlacement dialog(*DesignDlg);
        SaveFormPos(dialog, *iniFile);
    }
    SavePiecePos(*iniFile);
    iniFile->WriteString(QStringLiteral("General"), QStringLiteral("Language"), language());
    WriteSettings(*iniFile);
    if (midiPort) midiPort->Close();
    // The port's last all-notes-off are in; the files are completed.
    m_recording->stopAudio();
    m_recording->stopMidi();
    m_recording->waitForFiles(); // the program ends: the files must be whole
    if (!iniFile->flush()) {
        const QString message =
            tr("Marulet could not save its settings to %1: %2\nThe settings, window places and "
               "layout of this session are lost; the file keeps what it held before.")
                .arg(iniFile->path(), iniFile->lastError());
        emit saveFailed(message);
        if (m_quietClose) {
            qWarning("%s", qUtf8Printable(message));
        } else {
            QMessageBox box(QMessageBox::Warning, QStringLiteral("Marulet"), message,
                            QMessageBox::Ok,
                            QApplication::activeWindow() ? QApplication::activeWindow() : this);
            box.setWindowFlag(Qt::WindowStaysOnTopHint); // above the always-on-top dialogs
            box.exec();
        }
    }
}

void TMaruletMainForm::quitSaving() {
    m_quietClose = true;
    close();
    FormClose(); // when the window was never shown, close() sends no close event
    QCoreApplication::exit(0);
}

void TMaruletMainForm::FormDestroy() {
    Timer1.stop();
    DestroyPieces();
    iniFile.reset();
    midiPort.reset();
    prm.bgBitmap.reset();
}

Shape& TMaruletMainForm::createShape() {
    return m_field->createShape();
}

int TMaruletMainForm::clientWidth() const {
    return m_field->width();
}

void TMaruletMainForm::setAppCursor(int number) {
    m_cursors.apply(number);
}

void TMaruletMainForm::PopupAtPointer() {
    // At the mouse pointer; a menu asked for by a key opens at its piece.
    PopupMenu1->popup(m_field->menuPosition());
}

void TMaruletMainForm::Timer1Timer() {
    // The tick's notes carry its ideal time, so a late handler does not move them.
    const MidiTime tickTime = m_tickClock.next(MidiClock::now());
    followTickPeriod();
    if (midiPort) midiPort->setEventTime(tickTime);
    TickField();
    if (midiPort) {
        midiPort->setEventTime(std::nullopt);
        midiPort->tickSent(tickTime);
        // Said once the tick is done: a message box runs the timer under it.
        if (const auto lost = midiPort->takeLostDevice()) {
            const QString message = SoundWarningDeviceLost(*m_midiService, *lost);
            QTimer::singleShot(0, this, [this, message] { tellUser(message); });
        }
        watchSoundOutput();
    }
    m_field->refresh();
}

// The built-in synthesizer's output opens in the background; when its
// first try fails (no sound server, or one that does not answer), the user
// hears nothing and is told why, once, as at start.
void TMaruletMainForm::watchSoundOutput() {
    if (m_outputWatchTicks <= 0) return;
    --m_outputWatchTicks;
    if (midiPort->deviceId != 0 || !m_midiService->deviceProblem(0)) return;
    m_outputWatchTicks = 0;
    const QString message =
        SoundWarningAtStart(*m_midiService, *midiPort, std::nullopt, m_settingsPath);
    if (!message.isEmpty()) QTimer::singleShot(0, this, [this, message] { tellUser(message); });
}

// The ticks follow the sound card's clock: the next one is armed for its slot
// on the grid the output keeps, in whole milliseconds rounded up, so a tick
// never runs before its slot.
void TMaruletMainForm::followTickPeriod() {
    if (midiPort)
        if (const auto period = midiPort->tickPeriod()) m_tickClock.setPeriod(*period);
    if (!Timer1.isActive()) return;
    const auto delay =
        std::chrono::ceil<std::chrono::milliseconds>(m_tickClock.nextDue() - MidiClock::now());
    const int ms = static_cast<int>(std::clamp<std::int64_t>(delay.count(), 1, 100));
    Timer1.start(ms);
}

void TMaruletMainForm::FormMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint) {
    if (button == Qt::RightButton) PopupAtPointer();
}

void TMaruletMainForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TMaruletMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) applyMaximisedMode(event->spontaneous());
    if (event->type() == QEvent::LanguageChange) retranslateMenus();
}

// Maximised without title bar: full screen with the menu bar hidden, so the
// client area covers the whole screen. Leaving full screen, by the restore
// command or by the window manager's own keys, brings the normal window back.
void TMaruletMainForm::applyMaximisedMode(bool fromWindowSystem) {
    constexpr Qt::WindowStates kLarge = Qt::WindowMaximized | Qt::WindowFullScreen;
    const Qt::WindowStates state = windowState();
    if (fromWindowSystem && m_settling.isValid() && !m_settling.hasExpired(kSettleMs)) {
        // Reports of the states on the way: entering, the maximise that led
        // here; leaving, the maximised state a window manager hands back as
        // full screen ends, which is no fresh maximise.
        if (m_titleHidden) {
            if (state & Qt::WindowFullScreen) m_settling.invalidate();
            return;
        }
        if ((state & kLarge) && !(state & Qt::WindowMinimized)) setWindowState(state & ~kLarge);
        return;
    }
    if (!m_titleHidden) {
        if (prm.HideTitlebar && (state & Qt::WindowMaximized) && !(state & Qt::WindowFullScreen)) {
            m_titleHidden = true;
            m_settling.start();
            menuBar()->hide();
            setWindowState(state | Qt::WindowFullScreen);
        }
        return;
    }
    // Full screen alone is how some window managers report the mode.
    if ((state & Qt::WindowFullScreen) || (state & Qt::WindowMinimized)) return;
    m_titleHidden = false;
    m_settling.start();
    menuBar()->show();
    if (state & kLarge) setWindowState(state & ~kLarge);
}

void TMaruletMainForm::keyPressEvent(QKeyEvent* event) {
    // X11 reports the modifiers as they were before this key went down, so a
    // modifier key's own press adds itself.
    Qt::KeyboardModifiers shift = event->modifiers();
    if (event->key() == Qt::Key_Shift) shift |= Qt::ShiftModifier;
    if (event->key() == Qt::Key_Control) shift |= Qt::ControlModifier;
    setAppCursor(ModifierCursor(shift));
    QMainWindow::keyPressEvent(event);
}

void TMaruletMainForm::keyReleaseEvent(QKeyEvent* event) {
    setAppCursor(crDefault);
    QMainWindow::keyReleaseEvent(event);
}
