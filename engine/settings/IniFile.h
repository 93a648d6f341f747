// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class IniDocument; // the parsed file, shared by every accessor open on the same path

// An INI file accessor with the semantics of the profile files the settings
// format comes from: section and key names match without regard to case,
// writing a key changes that key alone, and every other line stays as it was.
// Writes stay in memory until flush() or destruction, then reach the disk
// atomically. Accessors open on the same file share what they write.
class IniFile {
public:
    explicit IniFile(const QString& path);
    // Flushes. On failure the writes stay pending for any other accessor
    // still open on the file, whose flush() then reports it.
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const QString& path() const { return m_path; }

    std::int32_t ReadInteger(const QString& section, const QString& key, std::int32_t def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    double ReadFloat(const QString& section, const QString& key, double def) const;
    QString ReadString(const QString& section, const QString& key, const QString& def) const;

    void WriteInteger(const QString& section, const QString& key, std::int32_t value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void WriteFloat(const QString& section, const QString& key, double value);
    void WriteString(const QString& section, const QString& key, const QString& value);

    // Why the file was passed over when it was opened (not a regular file,
    // larger than the limit, not readable): it then reads as empty. Empty
    // when the file was read or does not exist yet.
    const QString& readError() const;

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;

    // Writes pending changes to disk. On failure the file on disk is left as
    // it was, false is returned and lastError() says what failed.
    bool flush();
    const QString& lastError() const { return m_lastError; }

private:
    QString m_path;
    std::shared_ptr<IniDocument> m_doc;
    QString m_lastError;
};
