// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QDialog>
#include <QLocale>

class QComboBox;
class QGroupBox;
class QLabel;
class QShowEvent;
class QSlider;

// The sound and parameter dialog: MIDI device, voices, volume, reach, rising
// speed and response pattern. Modeless and always on top, with no OK or
// Cancel: every change goes to the port or to prm at once, and closing only
// hides it.
class TOptionDlg : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int helpContext READ helpContext CONSTANT)
public:
    explicit TOptionDlg(QWidget* parent = nullptr);

    // The help topic that F1 opens while this dialog is active.
    int helpContext() const { return 3; }

    // The rising speed as the dialog shows it: limited to three significant
    // digits, then fixed with one decimal, in the locale's decimal separator.
    static QString formatRisingSpeed(double value, const QLocale& locale = QLocale());

    // Fills the lists; runs once, from the constructor.
    void FormCreate();
    // Loads the current values; runs each time the hidden dialog is shown.
    // The device list is read anew, so devices plugged in since show up.
    void FormShow();

    void MidiDevCmbBoxChange();
    void PrgCmbBoxChange(QObject* Sender);
    void VolTrackBarChange();
    void ReachTrackBarChange();
    void ActLvTrackBarChange();
    void ResPtnComboBoxChange();

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* MidiDevCmbBox = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* PrgCmbBox1 = nullptr;
    QComboBox* PrgCmbBox2 = nullptr;
    QComboBox* PrgCmbBox3 = nullptr;
    QComboBox* PrgCmbBox4 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label_volume = nullptr;
    QSlider* VolTrackBar = nullptr;

    QGroupBox* GroupBox2 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label_reach = nullptr;
    QSlider* ReachTrackBar = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label_actLv = nullptr;
    QSlider* ActLvTrackBar = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* ResPtnComboBox = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslateUi();
    // The device names: read anew (and the port's device found again in the
    // new list), or only shown again in the language now chosen.
    void fillDeviceList(bool readAnew);
    QComboBox* programList(int channel) const;
};
