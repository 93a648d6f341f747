// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

Translations::~Translations() {
    removeAll();
}

QString Translations::normalise(const QString& language) {
    return language.trimmed().compare(QLatin1String("en"), Qt::CaseInsensitive) == 0
               ? QStringLiteral("en")
               : QStringLiteral("ja");
}

void Translations::removeAll() {
    if (!m_installed) return;
    QCoreApplication::removeTranslator(&m_own);
    QCoreApplication::removeTranslator(&m_qt);
    m_installed = false;
}

QString Translations::apply(const QString& language) {
    m_language = normalise(language);
    removeAll();
    // Loading an empty or missing file leaves a translator empty: Qt's
    // texts then stay English and ours show their source text.
    if (m_language == QLatin1String("en") ||
        !m_qt.load(QStringLiteral("qtbase_") + m_language,
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        (void)m_qt.load(QString());
    (void)m_own.load(QStringLiteral(":/marulet/i18n/marulet_") + m_language);
    QCoreApplication::installTranslator(&m_qt);
    QCoreApplication::installTranslator(&m_own);
    m_installed = true;
    return m_language;
}
