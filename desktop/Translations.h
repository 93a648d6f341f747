// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>
#include <QTranslator>

// The language the program speaks: Japanese (the default) or English. Qt's
// own texts (standard buttons, file and colour dialogs) come from Qt's
// translations, ours from those compiled into the program. Applying a
// language installs them into the application, and every open window is
// told to retranslate itself.
class Translations {
public:
    Translations() = default;
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    // "ja" or "en"; anything else is taken as the default, "ja".
    static QString normalise(const QString& language);

    // Returns the language now applied.
    QString apply(const QString& language);
    QString language() const { return m_language; }
    // Whether Qt's own translation for the language was found; English
    // needs none.
    bool qtTranslationLoaded() const { return !m_qt.isEmpty(); }

private:
    void removeAll();

    QTranslator m_qt;
    QTranslator m_own;
    QString m_language;
    bool m_installed = false;
};
