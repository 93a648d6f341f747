#pragma once

#include <QDialog>

// The design dialog: colours, background picture and the maximised mode
// without title bar. Modeless; every change takes effect at once.
class TDesignDlg : public QDialog {
    Q_OBJECT
public:
    explicit TDesignDlg(QWidget* parent = nullptr);
};
