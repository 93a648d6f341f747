// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QColor>
#include <QDialog>
#include <QString>
#include <functional>

class QCheckBox;
class QColorDialog;
class QFileDialog;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The design dialog: colours, background picture and the maximised mode
// without title bar. Modeless and always on top; every change is written
// into prm and takes effect at once, so there is nothing to apply or undo.
class TDesignDlg : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int helpContext READ helpContext CONSTANT)
public:
    explicit TDesignDlg(QWidget* parent = nullptr);

    // Runs the prepared colour chooser; an invalid colour means cancelled.
    using ColorRunner = std::function<QColor(QColorDialog&)>;
    // Runs the prepared picture chooser; the chosen path, empty when cancelled.
    using PictureRunner = std::function<QString(QFileDialog&)>;
    // Shows an error that stopped a picture from loading.
    using ErrorReporter = std::function<void(const QString&)>;

    // Both choosers are modal; tests replace them to answer without a user.
    void setColorRunner(ColorRunner runner) { m_runColorDialog = std::move(runner); }
    void setPictureRunner(PictureRunner runner) { m_runPictureDialog = std::move(runner); }
    void setErrorReporter(ErrorReporter reporter) { m_reportError = std::move(reporter); }

    // F1 in the dialog opens this help topic.
    int helpContext() const { return 4; }

    // The picture dialog's first folder: the folder part of the current
    // picture path, taken inside home when relative; home when there is none.
    static QString pictureFolder(const QString& bgImage, const QString& home);

    void FormShow();
    void ColButtonClick(QObject* Sender);
    void BgImgBtnClick();
    void BgImgCheckBoxClick();
    void StretchChkBoxClick();
    void HideTbarChkBoxClick();

    QPushButton* BgImgBtn = nullptr;
    QPushButton* ColButton1 = nullptr;
    QPushButton* ColButton2 = nullptr;
    QPushButton* ColButton3 = nullptr;
    QPushButton* ColButton4 = nullptr;
    QCheckBox* BgImgCheckBox = nullptr;
    QCheckBox* HideTbarChkBox = nullptr;
    QCheckBox* StretchChkBox = nullptr;
    QColorDialog* ColorDialog1 = nullptr;
    QLineEdit* BgImgEdit = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QFileDialog* OpenPictDialog = nullptr;
    QPushButton* ColButton5 = nullptr;

signals:
    // A colour, the stretch mode or the picture's use changed: the field
    // repaints with what prm now holds.
    void fieldLookChanged();
    // The background picture itself changed and has to be drawn afresh.
    void backgroundPictureChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslateUi();
    void preparePictureDialog();
    void repaintField(bool pictureChanged);

    ColorRunner m_runColorDialog;
    PictureRunner m_runPictureDialog;
    ErrorReporter m_reportError;
    QString m_lastPictureFilter; // the type the user chose last, kept while the program runs
};
