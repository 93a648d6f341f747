// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/settings/IniDocument.h"

#include "engine/settings/AtomicFile.h"
#include "engine/settings/RegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <malloc.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\r\v\f";

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool isAscii(std::string_view name) {
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string foldBytes(std::string_view name) {
    if (isAscii(name)) {
        std::string folded(name);
        for (char& c : folded)
            c = lower(c);
        return folded;
    }
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
        .toCaseFolded()
        .toUtf8()
        .toStdString();
}

std::uint32_t hashFolded(std::string_view folded) {
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (const char c : folded) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

// The hash of a name as the text spells it, without a copy for plain ASCII.
std::uint32_t hashRaw(std::string_view raw) {
    if (!isAscii(raw)) return hashFolded(foldBytes(raw));
    std::uint32_t hash = 2166136261u;
    for (const char c : raw) {
        hash ^= static_cast<unsigned char>(lower(c));
        hash *= 16777619u;
    }
    return hash;
}

bool sameName(std::string_view raw, const std::string& folded) {
    if (!isAscii(raw)) return foldBytes(raw) == folded;
    if (raw.size() != folded.size()) return false;
    for (std::size_t i = 0; i < raw.size(); ++i)
        if (lower(raw[i]) != folded[i]) return false;
    return true;
}

std::string trimmedUtf8(const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    return std::string(trim(std::string_view(utf8.constData(), utf8.size())));
}

// Names that would not read back as one header or one key line are refused.
bool writableSection(std::string_view name) {
    return !name.empty() && name.find_first_of(std::string_view("\r\n\0]", 4)) == name.npos;
}

bool writableKey(std::string_view name) {
    return !name.empty() && name.find_first_of(std::string_view("\r\n\0=", 4)) == name.npos &&
           name.front() != '[' && name.front() != ';' && name.front() != '#';
}

bool isHeader(std::string_view text) {
    const auto lead = text.find_first_not_of(kBlanks);
    return lead != std::string_view::npos && text[lead] == '[';
}

// A key line's name, and where its value starts; nothing for other lines.
std::optional<std::pair<std::string_view, std::size_t>> keyOf(std::string_view text) {
    const auto lead = text.find_first_not_of(kBlanks);
    if (lead == std::string_view::npos) return std::nullopt;
    const char first = text[lead];
    if (first == '[' || first == ';' || first == '#') return std::nullopt;
    const auto equals = text.find('=', lead);
    if (equals == std::string_view::npos) return std::nullopt;
    return std::pair{trim(text.substr(lead, equals - lead)), equals + 1};
}

// The path that names the file whichever way it was spelled, so accessors
// on the same file find the same document; a link is followed to its
// target, unless that target is no regular file (a link to /dev/zero):
// then the link itself is the file, and a save replaces the link.
QString canonicalPath(const QString& path) {
    if (path.isEmpty()) return {};
    const QFileInfo info(path);
    const QString file = info.canonicalFilePath();
    struct stat st {};
    const bool regularOrFolder = !file.isEmpty() &&
                                 ::stat(QFile::encodeName(file).constData(), &st) == 0 &&
                                 (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode));
    if (regularOrFolder) return file;
    const QString dir = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (!dir.isEmpty()) return dir + QLatin1Char('/') + info.fileName();
    return QDir::cleanPath(info.absoluteFilePath());
}

} // namespace

std::shared_ptr<IniDocument> IniDocument::open(const QString& path) {
    // A cache of the documents in use, so that two accessors on one file
    // share their writes; an entry lives only as long as some accessor.
    static std::mutex mutex;
    static std::unordered_map<QString, std::weak_ptr<IniDocument>> open;

    const QString canonical = canonicalPath(path);
    const std::lock_guard lock(mutex);
    std::erase_if(open, [](const auto& entry) { return entry.second.expired(); });
    if (auto existing = open[canonical].lock()) return existing;

    auto document = std::make_shared<IniDocument>(canonical);
    if (!canonical.isEmpty()) document->load();
    open[canonical] = document;
    return document;
}

IniDocument::IniDocument(QString filePath) : m_filePath(std::move(filePath)) {}

IniDocument::~IniDocument() {
    // A big file's memory goes back to the system, not just to the allocator.
    const bool big = m_text.capacity() + m_headers.capacity() * sizeof(Header) > (1u << 20);
    std::string().swap(m_text);
    std::vector<Header>().swap(m_headers);
    if (big) ::malloc_trim(0);
}

void IniDocument::load() {
    RegularFile file = openRegularFile(m_filePath, kMaxFileBytes);
    if (file.fd < 0) {
        m_readError = file.reason;
        return;
    }
    // Read straight into the string the document keeps: no second copy.
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(file.size));
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            // Grown since it was measured: read on, within the limit.
            if (bytes.size() > static_cast<std::size_t>(kMaxFileBytes)) break;
            bytes.resize(std::min<std::size_t>(bytes.size() + 65536, kMaxFileBytes + 1));
        }
        const ssize_t n = ::read(file.fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            m_readError = QString::fromLocal8Bit(std::strerror(errno));
            ::close(file.fd);
            return;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(file.fd);
    if (got > static_cast<std::size_t>(kMaxFileBytes)) {
        m_readError = QCoreApplication::translate("RegularFile",
                                                  "it grew past the %1 MB such a file may have")
                          .arg(kMaxFileBytes / 1048576);
        return;
    }
    bytes.resize(got);
    parse(std::move(bytes));
}

std::string IniDocument::foldName(const QString& name) {
    return foldBytes(trimmedUtf8(name));
}

void IniDocument::parse(std::string_view bytes) {
    parse(std::string(bytes));
}

void IniDocument::parse(std::string&& bytes) {
    m_text = std::move(bytes);
    m_headers.clear();
    m_replaced.clear();
    m_inserted.clear();
    m_appended.clear();
    m_eol = Eol::Lf;
    m_dirty = false;
    m_bom = std::string_view(m_text).starts_with(kBom);
    if (m_bom) m_text.erase(0, kBom.size());
    if (m_text.size() >= UINT32_MAX) m_text.resize(UINT32_MAX - 1); // never read: files are capped

    const auto newline = m_text.find('\n');
    if (newline != std::string::npos && newline > 0 && m_text[newline - 1] == '\r')
        m_eol = Eol::CrLf;

    // Count first, so the index is allocated once at its size.
    std::size_t count = 0;
    for (std::uint32_t at = 0; at < m_text.size();) {
        const Line line = lineAt(at);
        count += isHeader(textOf(line));
        at = line.next;
    }
    m_headers.reserve(count);
    for (std::uint32_t at = 0; at < m_text.size();) {
        const Line line = lineAt(at);
        if (isHeader(textOf(line))) m_headers.push_back({hashRaw(headerName(at)), at});
        at = line.next;
    }
    std::sort(m_headers.begin(), m_headers.end(), [](const Header& a, const Header& b) {
        return a.hash != b.hash ? a.hash < b.hash : a.offset < b.offset;
    });
}

IniDocument::Line IniDocument::lineAt(std::uint32_t start) const {
    const auto newline = m_text.find('\n', start);
    if (newline == std::string::npos) {
        const auto end = static_cast<std::uint32_t>(m_text.size());
        return {start, end, end};
    }
    auto textEnd = static_cast<std::uint32_t>(newline);
    if (textEnd > start && m_text[textEnd - 1] == '\r') --textEnd;
    return {start, textEnd, static_cast<std::uint32_t>(newline + 1)};
}

std::string_view IniDocument::textOf(const Line& line) const {
    return std::string_view(m_text).substr(line.start, line.textEnd - line.start);
}

std::string_view IniDocument::headerName(std::uint32_t offset) const {
    const std::string_view text = textOf(lineAt(offset));
    const auto lead = text.find_first_not_of(kBlanks);
    const auto close = text.find(']', lead + 1);
    return trim(text.substr(lead + 1, close == text.npos ? text.npos : close - lead - 1));
}

std::optional<std::uint32_t> IniDocument::firstSection(const std::string& folded) const {
    const std::uint32_t hash = hashFolded(folded);
    auto it = std::lower_bound(m_headers.begin(), m_headers.end(), hash,
                               [](const Header& h, std::uint32_t v) { return h.hash < v; });
    for (; it != m_headers.end() && it->hash == hash; ++it)
        if (sameName(headerName(it->offset), folded)) return it->offset;
    return std::nullopt;
}

const IniDocument::AddedSection* IniDocument::appended(const std::string& folded) const {
    for (const AddedSection& section : m_appended)
        if (section.folded == folded) return &section;
    return nullptr;
}

std::optional<IniDocument::KeyRef> IniDocument::find(const std::string& section,
                                                     const std::string& key) const {
    const auto inAdded = [&](const std::vector<Added>& keys) -> std::optional<KeyRef> {
        for (const Added& added : keys) {
            const auto name = keyOf(added.text);
            if (name && sameName(name->first, key)) return KeyRef{0, &added, added.valueStart};
        }
        return std::nullopt;
    };
    const std::uint32_t hash = hashFolded(section);
    auto it = std::lower_bound(m_headers.begin(), m_headers.end(), hash,
                               [](const Header& h, std::uint32_t v) { return h.hash < v; });
    bool first = true;
    // Sections of one name in the order of the file; the first key of that
    // name in any of them is the one read and written.
    for (; it != m_headers.end() && it->hash == hash; ++it) {
        if (!sameName(headerName(it->offset), section)) continue;
        for (std::uint32_t at = lineAt(it->offset).next; at < m_text.size();) {
            const Line line = lineAt(at);
            const std::string_view text = textOf(line);
            if (isHeader(text)) break;
            if (const auto name = keyOf(text); name && sameName(name->first, key))
                return KeyRef{at, nullptr, name->second};
            at = line.next;
        }
        if (first) {
            first = false;
            if (const auto added = m_inserted.find(it->offset); added != m_inserted.end())
                if (const auto ref = inAdded(added->second.keys)) return ref;
        }
    }
    if (const AddedSection* added = appended(section)) return inAdded(added->keys);
    return std::nullopt;
}

std::string_view IniDocument::currentText(const KeyRef& ref) const {
    if (ref.added) return ref.added->text;
    if (const auto replaced = m_replaced.find(ref.line); replaced != m_replaced.end())
        return replaced->second;
    return textOf(lineAt(ref.line));
}

std::optional<std::string_view> IniDocument::value(const QString& section,
                                                   const QString& key) const {
    const auto ref = find(foldName(section), foldName(key));
    if (!ref) return std::nullopt;
    std::string_view text = currentText(*ref).substr(ref->valueStart);
    text = text.substr(0, text.find('\0'));
    return trim(text);
}

bool IniDocument::hasSection(const QString& section) const {
    const std::string folded = foldName(section);
    return firstSection(folded).has_value() || appended(folded) != nullptr;
}

bool IniDocument::setValue(const QString& section, const QString& key, std::string_view value) {
    const std::string sectionName = trimmedUtf8(section);
    const std::string keyName = trimmedUtf8(key);
    if (!writableSection(sectionName) || !writableKey(keyName)) return false;
    // A value is one line; a line break or NUL inside would cut it.
    std::string text(value);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; }, ' ');

    const std::string folded = foldBytes(sectionName);
    const std::string foldedKey = foldBytes(keyName);
    if (const auto ref = find(folded, foldedKey)) {
        const std::string_view current = currentText(*ref);
        // Keep the key's own spelling and any blanks after '='.
        std::size_t start = ref->valueStart;
        while (start < current.size() && (current[start] == ' ' || current[start] == '\t'))
            ++start;
        if (current.substr(start) == text) return true;
        std::string replaced = std::string(current.substr(0, start)) + text;
        if (ref->added)
            const_cast<Added*>(ref->added)->text = std::move(replaced);
        else
            m_replaced[ref->line] = std::move(replaced);
        m_dirty = true;
        return true;
    }

    Added line{keyName + "=" + text, keyName.size() + 1};
    if (const auto header = firstSection(folded)) {
        auto [entry, fresh] = m_inserted.try_emplace(*header);
        if (fresh) {
            // After the section's last key, before any blank or comment lines that close it.
            std::uint32_t after = *header;
            for (std::uint32_t at = lineAt(*header).next; at < m_text.size();) {
                const Line l = lineAt(at);
                const std::string_view t = textOf(l);
                if (isHeader(t)) break;
                if (keyOf(t)) after = at;
                at = l.next;
            }
            entry->second.after = after;
        }
        entry->second.keys.push_back(std::move(line));
    } else if (const AddedSection* added = appended(folded)) {
        const_cast<AddedSection*>(added)->keys.push_back(std::move(line));
    } else {
        m_appended.push_back({folded, "[" + sectionName + "]", {}});
        m_appended.back().keys.push_back(std::move(line));
    }
    m_dirty = true;
    return true;
}

std::string IniDocument::serialize() const {
    const std::string_view eol = m_eol == Eol::CrLf ? "\r\n" : "\n";
    // The lines that changed or that keys follow, in the order of the text.
    std::map<std::uint32_t, std::pair<const std::string*, const Insert*>> marks;
    std::size_t size = (m_bom ? kBom.size() : 0) + m_text.size();
    for (const auto& [at, text] : m_replaced) {
        marks[at].first = &text;
        size += text.size();
    }
    for (const auto& [header, insert] : m_inserted) {
        marks[insert.after].second = &insert;
        for (const Added& added : insert.keys)
            size += added.text.size() + 2;
    }
    for (const AddedSection& section : m_appended) {
        size += section.header.size() + 4;
        for (const Added& added : section.keys)
            size += added.text.size() + 2;
    }

    std::string bytes;
    bytes.reserve(size);
    if (m_bom) bytes += kBom;
    std::uint32_t done = 0;
    for (const auto& [at, mark] : marks) {
        const Line line = lineAt(at);
        bytes.append(m_text, done, at - done);
        if (mark.first)
            bytes += *mark.first;
        else
            bytes += textOf(line);
        const std::string_view ending =
            std::string_view(m_text).substr(line.textEnd, line.next - line.textEnd);
        // A line that was last in the file gets an ending when keys follow it.
        if (!ending.empty() && ending.back() == '\n')
            bytes += ending;
        else if (mark.second)
            bytes += eol;
        else
            bytes += ending;
        if (mark.second) {
            for (const Added& added : mark.second->keys) {
                bytes += added.text;
                bytes += eol;
            }
        }
        done = line.next;
    }
    bytes.append(m_text, done, std::string::npos);
    if (!m_appended.empty() && bytes.size() > (m_bom ? kBom.size() : 0) && bytes.back() != '\n')
        bytes += eol;
    for (const AddedSection& section : m_appended) {
        bytes += section.header;
        bytes += eol;
        for (const Added& added : section.keys) {
            bytes += added.text;
            bytes += eol;
        }
    }
    return bytes;
}

bool IniDocument::save(QString& error) {
    if (!m_dirty) return true;
    if (!writeFileAtomically(m_filePath, serialize(), error)) return false;
    m_dirty = false;
    return true;
}
