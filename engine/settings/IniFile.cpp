// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/settings/IniFile.h"

#include "engine/settings/IniDocument.h"
#include "engine/settings/IniValue.h"
#include <QCoreApplication>

#include <QtGlobal>

namespace {
QString badName(const QString& section, const QString& key, const QString& path) {
    return QCoreApplication::translate("IniFile", "Cannot write [%1] %2 in %3: that name cannot "
                                                  "be stored in an INI file. The value is not "
                                                  "saved.")
        .arg(section, key, path);
}
} // namespace

IniFile::IniFile(const QString& path) : m_path(path), m_doc(IniDocument::open(path)) {}

IniFile::~IniFile() {
    QString error;
    if (m_doc->save(error)) return;
    // Another accessor still open on the file keeps the writes pending and
    // reports the failure at its own flush; without one this is the last word.
    if (m_doc.use_count() == 1) qWarning("%s", qUtf8Printable(error));
}

std::int32_t IniFile::ReadInteger(const QString& section, const QString& key,
                                  std::int32_t def) const {
    const auto text = m_doc->value(section, key);
    if (!text) return def;
    return parseIniInteger(*text).value_or(def);
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double IniFile::ReadFloat(const QString& section, const QString& key, double def) const {
    const auto text = m_doc->value(section, key);
    if (!text) return def;
    return parseIniFloat(*text).value_or(def);
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
    const auto text = m_doc->value(section, key);
    if (!text) return def;
    return decodeIniText(*text);
}

void IniFile::WriteInteger(const QString& section, const QString& key, std::int32_t value) {
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::WriteFloat(const QString& section, const QString& key, double value) {
    const std::string text = formatIniFloat(value);
    if (!m_doc->setValue(section, key, text)) m_lastError = badName(section, key, m_path);
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QByteArray text = value.toUtf8();
    if (!m_doc->setValue(section, key, std::string_view(text.constData(), text.size())))
        m_lastError = badName(section, key, m_path);
}

const QString& IniFile::readError() const {
    return m_doc->readError();
}

bool IniFile::SectionExists(const QString& section) const {
    return m_doc->hasSection(section);
}

bool IniFile::ValueExists(const QString& section, const QString& key) const {
    return m_doc->value(section, key).has_value();
}

bool IniFile::flush() {
    QString error;
    if (!m_doc->save(error)) {
        m_lastError = error;
        return false;
    }
    m_lastError.clear();
    return true;
}
