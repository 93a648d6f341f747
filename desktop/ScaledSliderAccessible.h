// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

class ScaledSlider;

// A scaled slider as assistive tools meet it: named by its caption like any
// slider, its value, range and step in the unit its caption shows. Screen
// readers print as many decimals as the step has, so the step is the
// caption's precision.
class ScaledSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ScaledSliderAccessible(ScaledSlider* slider);

    QString text(QAccessible::Text t) const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

private:
    ScaledSlider* slider() const;
};
