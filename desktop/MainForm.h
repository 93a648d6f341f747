// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include "desktop/CursorTable.h"
#include "desktop/Translations.h"
#include "engine/field/PopupMenu.h"
#include "engine/field/Shape.h"
#include "engine/field/TickClock.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>

class FieldView;
class HelpWindow;
class IniFile;
class MidiOutService;
class Recording;
enum class RecordingKind;
class QAction;
class QFileDialog;
class QMenu;
class QMenuBar;
class TAboutBox;
class TDesignDlg;
class TOptionDlg;

// The main window: owns the settings accessor, the MIDI output, the 49 pieces
// (through their shapes in the field view) and the timer that plays them.
class TMaruletMainForm : public QMainWindow, public ShapeOwner, public PopupMenu {
    Q_OBJECT
public:
    // settingsPath: the settings file; service: the MIDI outputs to play through.
    TMaruletMainForm(const QString& settingsPath, std::unique_ptr<MidiOutService> service,
                     QWidget* parent = nullptr);
    ~TMaruletMainForm() override;

    // The dialogs, created hidden after the window, in start-up order.
    void createDialogs();
    // Restores placements and the last layout, then starts the timer. Runs once,
    // before the window is first shown.
    void FormShow();

    // ShapeOwner
    Shape& createShape() override;
    int clientWidth() const override;
    void setAppCursor(int number) override;
    // PopupMenu
    void PopupAtPointer() override;

    void Timer1Timer();
    void FormMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);

    // Commands of the menu bar and the context menu.
    void AllOffActionExecute();
    void AllZzzActionExecute();
    void AllActActionExecute();
    void RestoreActionExecute();
    void RestoreActionUpdate();
    void DefPosActionExecute();
    void EnableGridActionExecute();
    void EnableGridActionUpdate();
    void FileLoadPosItemClick();
    void FileSavePosItemClick();
    void FileExitItemClick();
    // Closes as the close box does (placements, layout and settings saved, all
    // notes off) and ends every event loop, open dialogs' too: for a stop
    // signal or the desktop session ending. No message box waits for anyone.
    void quitSaving();
    void SetGridSizeItemClick();
    void OptionItemClick();
    void DesignItemClick();
    void HelpContentsItemClick();
    void AboutItemClick();
    void HelpGoWebItemClick();
    // Recording what plays, from the File menu.
    void MidiRecItemClick();
    void WavRecItemClick();
    void RecordingUpdate();
    // F1: the topic of the highlighted menu item or of the active window.
    void showHelpForActiveWindow();
    // The help window, made on first use.
    HelpWindow& help();
    // "ja" or "en": every window speaks it at once.
    void setLanguage(const QString& language);
    QString language() const { return m_translations.language(); }

    // Modal choosers, replaceable so tests can answer them. A file dialog
    // returns the chosen path or nothing; the text box returns the text, or
    // the initial text when cancelled.
    std::function<QString(QFileDialog&)> runFileDialog;
    std::function<QString(const QString& caption, const QString& initial)> askText;
    // Tells the user something that went wrong with a command, in a message box.
    std::function<void(const QString& message)> tellUser;

    FieldView* field() const { return m_field; }
    IniFile& settings() { return *iniFile; }
    MidiOutService& midiService() { return *m_midiService; }
    Recording& recording() { return *m_recording; }
    const CursorTable& cursors() const { return m_cursors; }

    QTimer Timer1;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QObject* ActionList1 = nullptr;
    QAction* AllOffAction = nullptr;
    QAction* AllZzzAction = nullptr;
    QAction* AllActAction = nullptr;
    QAction* RestoreAction = nullptr;
    QAction* DefPosAction = nullptr;
    QAction* EnableGridAction = nullptr;
    QAction* MidiRecItem = nullptr;
    QAction* WavRecItem = nullptr;
    // The layout dialogs, made on first use: a file dialog starts a folder
    // watcher and threads that the field has no need for until then.
    QFileDialog* OpenDialog1 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;
    TOptionDlg* OptionDlg = nullptr;
    TDesignDlg* DesignDlg = nullptr;
    TAboutBox* AboutBox = nullptr;

signals:
    // The settings could not be written when the window closed.
    void saveFailed(const QString& message);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void followTickPeriod();
    void watchSoundOutput();
    void FormCreate(const QString& settingsPath);
    void FormClose();
    void FormDestroy();
    void applyMaximisedMode(bool fromWindowSystem);
    void createMenus();
    void retranslateMenus();
    void updateActions();
    QFileDialog& prepareLayoutDialog(QFileDialog*& dialog, const char* name, const QString& title);
    void addRecordingItems(QMenu* file);
    QString askRecordingFile(RecordingKind kind, const QString& title, const QString& filter,
                             const QString& suffix);

    std::unique_ptr<IniFile> iniFile;
    std::unique_ptr<MidiOutService> m_midiService;
    // Destroyed before the service: completing the files needs it.
    std::unique_ptr<Recording> m_recording;
    FieldView* m_field = nullptr;
    CursorTable m_cursors;
    QString m_pictureError;    // shown once the window is up
    bool m_quietClose = false; // nobody may be there to answer a message box
    QString m_soundWarning;    // likewise
    TickClock m_tickClock;
    QString m_settingsPath;
    // Ticks left in which a sound output that fails to open is told.
    int m_outputWatchTicks = 0;
    static constexpr int kOutputWatchTicks = 200; // 10 s: an open gives up well within
    bool m_shown = false;
    bool m_closed = false;
    bool m_titleHidden = false; // maximised full screen with the menu bar hidden
    // Running for a while after the window enters or leaves that mode.
    QElapsedTimer m_settling;
    static constexpr qint64 kSettleMs = 1000;
    HelpWindow* m_help = nullptr;
    Translations m_translations;
};

// The one main window while it exists.
extern TMaruletMainForm* MaruletMainForm;
