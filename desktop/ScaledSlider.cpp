// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/ScaledSlider.h"

#include <algorithm>
#include <cmath>

ScaledSlider::ScaledSlider(double unit, int decimals, Format format, QWidget* parent)
    : QSlider(Qt::Horizontal, parent), m_unit(unit), m_decimals(decimals),
      m_format(std::move(format)) {}

QString ScaledSlider::shownText(const QLocale& locale) const {
    return m_format(value() * m_unit, locale);
}

double ScaledSlider::shownValue() const {
    bool ok = false;
    const double shown = QLocale::c().toDouble(shownText(QLocale::c()), &ok);
    return ok ? shown : value() * m_unit;
}

double ScaledSlider::shownStep() const {
    return std::pow(10.0, -m_decimals);
}

void ScaledSlider::setShownValue(double value) {
    if (!std::isfinite(value)) return;
    const double position =
        std::clamp(std::round(value / m_unit), double(minimum()), double(maximum()));
    setValue(static_cast<int>(position));
}
