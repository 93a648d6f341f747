// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/ScaledSliderAccessible.h"

#include "desktop/ScaledSlider.h"

ScaledSliderAccessible::ScaledSliderAccessible(ScaledSlider* slider)
    : QAccessibleWidget(slider, QAccessible::Slider) {}

ScaledSlider* ScaledSliderAccessible::slider() const {
    return static_cast<ScaledSlider*>(widget());
}

QString ScaledSliderAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) return slider()->shownText();
    return QAccessibleWidget::text(t);
}

void* ScaledSliderAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QVariant ScaledSliderAccessible::currentValue() const {
    return slider()->shownValue();
}

void ScaledSliderAccessible::setCurrentValue(const QVariant& value) {
    bool ok = false;
    const double wanted = value.toDouble(&ok);
    if (ok) slider()->setShownValue(wanted);
}

QVariant ScaledSliderAccessible::maximumValue() const {
    return slider()->maximum() * slider()->unit();
}

QVariant ScaledSliderAccessible::minimumValue() const {
    return slider()->minimum() * slider()->unit();
}

QVariant ScaledSliderAccessible::minimumStepSize() const {
    return slider()->shownStep();
}
