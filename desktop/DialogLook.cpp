// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/DialogLook.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>

#include <algorithm>

namespace {
constexpr int kGap = 3;
constexpr int kSmallestPixels = 9;

int rightEdge(const QLabel* label) {
    return label->x() + label->sizeHint().width();
}
} // namespace

void setTitleOnFrame(QGroupBox* box) {
    // A style sheet would hand its children the application's font: each
    // keeps the one it has.
    for (QWidget* child : box->findChildren<QWidget*>())
        child->setFont(child->font());
    const int half = box->fontMetrics().height() / 2;
    box->setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                       " margin-top: %1px; }"
                       " QGroupBox::title { subcontrol-origin: margin; left: 6px;"
                       " padding: 0 2px; background-color: palette(window); }")
            .arg(half));
}

void widenToText(QWidget* control) {
    const int room = control->parentWidget() ? control->parentWidget()->width() - control->x() - 4
                                             : control->sizeHint().width();
    const int wanted = std::min(control->sizeHint().width(), room);
    if (wanted > control->width()) control->resize(wanted, control->height());
}

void fitLabelBefore(QLabel* label, int limit) {
    QFont font = label->font();
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    label->setFont(font);
    label->adjustSize();
    for (qreal spacing = -0.5; rightEdge(label) > limit - kGap && spacing >= -1.0; spacing -= 0.5) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
        label->setFont(font);
        label->adjustSize();
    }
    while (rightEdge(label) > limit - kGap && font.pixelSize() > kSmallestPixels) {
        font.setPixelSize(font.pixelSize() - 1);
        label->setFont(font);
        label->adjustSize();
    }
}
