// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;

// The version dialog: the program's icon, name and version, and that it is
// free software. Shown modally; the version line is composed at every show.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // "Version 1.10" for 1.1.0: minor and build are written with nothing
    // between them, and the fourth part is never shown.
    static QString versionLine(unsigned major, unsigned minor, unsigned build);

    void FormShow();

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* FreeSoftware = nullptr;
    QPushButton* OKButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslateUi();
};
