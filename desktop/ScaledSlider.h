// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QLocale>
#include <QSlider>
#include <functional>

// A slider whose positions count a finer unit than the value it stands for,
// as the rising speed's slider counts hundredths (position 100 is 1.0).
// Assistive tools read its value as the caption beside it shows it, not as
// the position.
class ScaledSlider : public QSlider {
    Q_OBJECT
public:
    // How the caption writes a value.
    using Format = std::function<QString(double value, const QLocale& locale)>;

    // unit: the value of one position; decimals: how many the caption shows.
    ScaledSlider(double unit, int decimals, Format format, QWidget* parent = nullptr);

    double unit() const { return m_unit; }
    // The value as the caption shows it, in that locale's notation.
    QString shownText(const QLocale& locale = QLocale()) const;
    // The same, as a number.
    double shownValue() const;
    // The smallest step the caption tells apart.
    double shownStep() const;
    // Moves to the position nearest that value, within the range.
    void setShownValue(double value);

private:
    double m_unit;
    int m_decimals;
    Format m_format;
};
