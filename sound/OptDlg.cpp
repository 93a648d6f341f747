#include "sound/OptDlg.h"

TOptionDlg::TOptionDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OptionDlg"));
    setWindowTitle(QStringLiteral("サウンド/パラメータ"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(false);
}
