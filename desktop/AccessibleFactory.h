// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// What assistive tools are told of our own widgets: the field as a list of
// pieces, and sliders that count in a finer unit than they show.
QAccessibleInterface* MaruletAccessibleFactory(const QString& className, QObject* object);

// Makes Qt ask the factory above; to be done before the widgets are made.
void InstallAccessibleFactory();
