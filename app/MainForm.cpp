#include "app/MainForm.h"

#include "app/FieldView.h"
#include "app/Global.h"
#include "app/IniFile.h"
#include "app/LayoutFile.h"
#include "app/MaruletApplication.h"
#include "app/SettingsFile.h"
#include "app/SoundWarning.h"
#include "field/FieldTick.h"
#include "field/Pieces.h"
#include "sound/MidiOutService.h"
#include "sound/OptDlg.h"
#include "sound/TMidiPort.h"
#include "ui/About.h"
#include "ui/DsgnDlg.h"
#include "ui/Usr_env.h"
#include "ui/WidgetPlacement.h"

#include <QCloseEvent>
#include <QCursor>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

TMaruletMainForm* MaruletMainForm = nullptr;

TMaruletMainForm::TMaruletMainForm(const QString& settingsPath,
                                   std::unique_ptr<MidiOutService> service, QWidget* parent)
    : QMainWindow(parent), m_midiService(std::move(service)) {
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
}

TMaruletMainForm::~TMaruletMainForm() {
    FormDestroy();
    if (MaruletMainForm == this) MaruletMainForm = nullptr;
}

void TMaruletMainForm::FormCreate(const QString& settingsPath) {
    iniFile = std::make_unique<IniFile>(settingsPath);
    const SettingsReadResult read = ReadSettings(*iniFile, *m_midiService);
    m_pictureError = read.pictureError;
    if (midiPort)
        m_soundWarning =
            SoundWarningAtStart(*m_midiService, *midiPort, read.missingDevice, settingsPath);
    m_cursors.loadPieceCursors();
    CreatePieces(*this, this);
}

void TMaruletMainForm::createDialogs() {
    OptionDlg = new TOptionDlg(this);
    DesignDlg = new TDesignDlg(this);
    AboutBox = new TAboutBox(this);
}

void TMaruletMainForm::FormShow() {
    if (m_shown) return;
    m_shown = true;
    WidgetPlacement main(*this);
    LoadMainFormPos(main, *iniFile, main, 800, 600);
    const QRect frame = frameGeometry();
    if (OptionDlg) {
        WidgetPlacement dialog(*OptionDlg);
        LoadFormPos(dialog, *iniFile, dialog, frame.left() + 50, frame.top() + 50, 0, 0);
    }
    if (DesignDlg) {
        WidgetPlacement dialog(*DesignDlg);
        LoadFormPos(dialog, *iniFile, dialog, frame.left() + 100, frame.top() + 100, 0, 0);
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
    WriteSettings(*iniFile);
    if (midiPort) midiPort->Close();
    if (!iniFile->flush()) {
        const QString message =
            tr("Marulet could not save its settings to %1: %2\nThe settings, window places and "
               "layout of this session are lost; the file keeps what it held before.")
                .arg(iniFile->path(), iniFile->lastError());
        emit saveFailed(message);
        QMessageBox::warning(nullptr, QStringLiteral("Marulet"), message);
    }
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
    PopupMenu1->popup(QCursor::pos());
}

void TMaruletMainForm::Timer1Timer() {
    // The tick's notes carry its ideal time, so a late handler does not move them.
    const MidiTime tickTime = m_tickClock.next(MidiClock::now());
    if (midiPort) midiPort->setEventTime(tickTime);
    TickField();
    if (midiPort) {
        midiPort->setEventTime(std::nullopt);
        midiPort->tickSent(tickTime);
    }
    m_field->refresh();
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
    if (event->type() == QEvent::WindowStateChange) applyMaximisedMode();
}

// Maximised without title bar: full screen with the menu bar hidden, so the
// client area covers the whole screen; leaving it brings both back.
void TMaruletMainForm::applyMaximisedMode() {
    const Qt::WindowStates state = windowState();
    if (!m_titleHidden && prm.HideTitlebar && (state & Qt::WindowMaximized) &&
        !(state & Qt::WindowFullScreen)) {
        m_titleHidden = true;
        menuBar()->hide();
        setWindowState(state | Qt::WindowFullScreen);
    } else if (m_titleHidden && !(state & Qt::WindowFullScreen)) {
        m_titleHidden = false;
        menuBar()->show();
        if (state & Qt::WindowMaximized) // back to a plain maximised window
            setWindowState(state & ~Qt::WindowMaximized);
    }
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
