// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The text of one INI file as read, with the writes made since kept beside
// it, so that a write touches one line alone and everything else is saved
// back byte for byte. Section and key names are compared case-folded. The
// memory taken stays close to the file's size whatever its shape: the text
// once, eight bytes per section header, and the written lines. Not
// thread-safe: one user-interface thread owns every accessor.
class IniDocument {
public:
    // The largest file read; a settings or layout file is a few kilobytes.
    static constexpr std::int64_t kMaxFileBytes = 16 * 1024 * 1024;

    // The document of the file at path, shared by every accessor open on the
    // same file in this process; read from disk when no accessor holds it.
    // Only a regular file is read: anything else reads as empty, and
    // readError() says why.
    static std::shared_ptr<IniDocument> open(const QString& path);

    explicit IniDocument(QString filePath);
    ~IniDocument();
    IniDocument(const IniDocument&) = delete;
    IniDocument& operator=(const IniDocument&) = delete;

    const QString& filePath() const { return m_filePath; }
    // Why the file on disk was passed over (not a regular file, too large,
    // not readable); empty when it was read or does not exist.
    const QString& readError() const { return m_readError; }

    // Replaces the whole content by these bytes (a leading byte-order mark
    // is skipped and kept for saving).
    void parse(std::string_view bytes);
    void parse(std::string&& bytes);
    std::string serialize() const;

    // The value text of the first matching key, trimmed, cut at a NUL byte.
    std::optional<std::string_view> value(const QString& section, const QString& key) const;
    // False when a name cannot be written into an INI line; nothing changes then.
    bool setValue(const QString& section, const QString& key, std::string_view value);
    bool hasSection(const QString& section) const;

    bool dirty() const { return m_dirty; }
    // Writes the document to its file atomically when it has unsaved changes.
    // On failure the file is untouched, the changes stay pending and error says why.
    bool save(QString& error);

    static std::string foldName(const QString& name);

private:
    enum class Eol : unsigned char { None, Lf, CrLf };
    // A section header line of the text: its folded name's hash and where it starts.
    struct Header {
        std::uint32_t hash;
        std::uint32_t offset;
    };
    // A key line that a write added.
    struct Added {
        std::string text;
        std::size_t valueStart; // the first byte after '='
    };
    // Keys added to a section of the text, after the line starting at `after`.
    struct Insert {
        std::uint32_t after = 0;
        std::vector<Added> keys;
    };
    // A section that a write added at the end.
    struct AddedSection {
        std::string folded;
        std::string header;
        std::vector<Added> keys;
    };
    struct Line {
        std::uint32_t start;
        std::uint32_t textEnd; // without the line ending
        std::uint32_t next;    // the next line's start
    };
    // A key found: a line of the text (by its start) or an added line.
    struct KeyRef {
        std::uint32_t line = 0;
        const Added* added = nullptr;
        std::size_t valueStart = 0;
    };

    void load();
    Line lineAt(std::uint32_t start) const;
    std::string_view textOf(const Line& line) const;
    std::string_view headerName(std::uint32_t offset) const;
    // The first header of that name, or none.
    std::optional<std::uint32_t> firstSection(const std::string& folded) const;
    std::optional<KeyRef> find(const std::string& section, const std::string& key) const;
    const AddedSection* appended(const std::string& folded) const;
    std::string_view currentText(const KeyRef& ref) const;

    QString m_filePath;
    QString m_readError;
    std::string m_text;            // the file as read, without its byte-order mark
    std::vector<Header> m_headers; // by hash, then by place in the text
    std::unordered_map<std::uint32_t, std::string> m_replaced; // key line start -> new text
    std::unordered_map<std::uint32_t, Insert> m_inserted;      // first header of a name -> keys
    std::vector<AddedSection> m_appended;
    Eol m_eol = Eol::Lf; // the ending the file uses, given to new lines
    bool m_bom = false;
    bool m_dirty = false;
};
