#pragma once

#include <QDialog>

// The version dialog: the product name and the version line.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};
