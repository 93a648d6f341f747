#pragma once

#include <QDialog>

// The sound and parameter dialog: MIDI device, voices, volume, reach, rising
// speed and response pattern. Modeless and always on top; every change takes
// effect at once.
class TOptionDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOptionDlg(QWidget* parent = nullptr);
};
