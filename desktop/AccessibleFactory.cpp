// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/AccessibleFactory.h"

#include "desktop/FieldAccessible.h"
#include "desktop/FieldView.h"
#include "desktop/ScaledSlider.h"
#include "desktop/ScaledSliderAccessible.h"

#include <QAccessible>

QAccessibleInterface* MaruletAccessibleFactory(const QString& className, QObject* object) {
    // Asked for each class of the object from the most derived up; only
    // our own classes are answered here, all else is Qt's.
    if (className == QLatin1String(FieldView::staticMetaObject.className()))
        if (auto* view = qobject_cast<FieldView*>(object)) return new FieldAccessible(view);
    if (className == QLatin1String(ScaledSlider::staticMetaObject.className()))
        if (auto* slider = qobject_cast<ScaledSlider*>(object))
            return new ScaledSliderAccessible(slider);
    return nullptr;
}

void InstallAccessibleFactory() {
    QAccessible::installFactory(&MaruletAccessibleFactory); // once, however often asked
}
