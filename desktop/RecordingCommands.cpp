// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/MainForm.h"
#include "desktop/Recording.h"
#include "engine/settings/RecordingFolders.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>

// The two recording items close the File menu's own items, before the exit.
void TMaruletMainForm::addRecordingItems(QMenu* file) {
    MidiRecItem = file->addAction(QString());
    MidiRecItem->setObjectName(QStringLiteral("MidiRecItem"));
    MidiRecItem->setCheckable(true);
    connect(MidiRecItem, &QAction::triggered, this, &TMaruletMainForm::MidiRecItemClick);
    WavRecItem = file->addAction(QString());
    WavRecItem->setObjectName(QStringLiteral("WavRecItem"));
    WavRecItem->setCheckable(true);
    connect(WavRecItem, &QAction::triggered, this, &TMaruletMainForm::WavRecItemClick);
    // Says why audio cannot be recorded with an external port.
    file->setToolTipsVisible(true);

    connect(m_recording.get(), &Recording::stateChanged, this, &TMaruletMainForm::RecordingUpdate);
    connect(m_recording.get(), &Recording::failed, this, [this](const QString& message) {
        QMessageBox::warning(this, QStringLiteral("Marulet"), message);
    });
    RecordingUpdate();
}

void TMaruletMainForm::RecordingUpdate() {
    const Recording& recording = *m_recording;
    MidiRecItem->setText(recording.midiActive() ? tr("MIDI録音を停止(&M)")
                                                : tr("MIDI録音を開始(&M)..."));
    MidiRecItem->setChecked(recording.midiActive());
    WavRecItem->setText(recording.audioActive() ? tr("音声録音を停止(&A)")
                                                : tr("音声録音を開始(&A)..."));
    WavRecItem->setChecked(recording.audioActive());
    // A running recording can always be stopped, whatever the device now.
    const bool audioUsable = recording.audioActive() || recording.audioPossible();
    WavRecItem->setEnabled(audioUsable);
    const QString why =
        audioUsable ? QString()
                    : tr("Only the built-in synthesizer \"Marulet Synth\" can be recorded as "
                         "audio; an external MIDI device plays outside this program.");
    WavRecItem->setToolTip(why);
    WavRecItem->setStatusTip(why);
    setWindowTitle(recording.active() ? tr("Marulet ● REC") : QStringLiteral("Marulet"));
}

QString TMaruletMainForm::askRecordingFile(RecordingKind kind, const QString& title,
                                           const QString& filter, const QString& suffix) {
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("RecordDialog"));
    dialog.setWindowTitle(title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(suffix);
    dialog.setDirectory(recordingFolder(*iniFile, kind));
    return runFileDialog(dialog);
}

void TMaruletMainForm::MidiRecItemClick() {
    Recording& recording = *m_recording;
    if (recording.midiActive()) {
        recording.stopMidi();
    } else {
        const QString path = askRecordingFile(RecordingKind::Midi, tr("Record MIDI to"),
                                              tr("MIDI files (*.mid)"), QStringLiteral("mid"));
        if (!path.isEmpty()) {
            if (recording.startMidi(path))
                rememberRecordingFolder(*iniFile, RecordingKind::Midi, path);
            else
                QMessageBox::warning(this, QStringLiteral("Marulet"), recording.lastError());
        }
    }
    RecordingUpdate();
}

void TMaruletMainForm::WavRecItemClick() {
    Recording& recording = *m_recording;
    if (recording.audioActive()) {
        recording.stopAudio();
    } else if (recording.audioPossible()) {
        const QString path = askRecordingFile(RecordingKind::Audio, tr("Record audio to"),
                                              tr("WAV files (*.wav)"), QStringLiteral("wav"));
        if (!path.isEmpty()) {
            if (recording.startAudio(path))
                rememberRecordingFolder(*iniFile, RecordingKind::Audio, path);
            else
                QMessageBox::warning(this, QStringLiteral("Marulet"), recording.lastError());
        }
    }
    RecordingUpdate();
}
