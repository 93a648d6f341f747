#include "ui/DsgnDlg.h"

TDesignDlg::TDesignDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DesignDlg"));
    setWindowTitle(QStringLiteral("デザイン"));
    setModal(false);
}
