#include "app/IniDocument.h"

#include "app/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <mutex>

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\r\v\f";

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string foldBytes(std::string_view name) {
    const bool ascii = std::all_of(name.begin(), name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        std::string folded(name);
        for (char& c : folded) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        return folded;
    }
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
        .toCaseFolded()
        .toUtf8()
        .toStdString();
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

// The path that names the file whichever way it was spelled, so accessors
// on the same file find the same document; a link is followed to its target.
QString canonicalPath(const QString& path) {
    if (path.isEmpty()) return {};
    const QFileInfo info(path);
    const QString file = info.canonicalFilePath();
    if (!file.isEmpty()) return file;
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
    QFile file(canonical);
    if (!canonical.isEmpty() && file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        document->parse(std::string_view(bytes.constData(), bytes.size()));
    }
    open[canonical] = document;
    return document;
}

IniDocument::IniDocument(QString filePath) : m_filePath(std::move(filePath)) {
    m_sections.emplace_back();
}

std::string IniDocument::foldName(const QString& name) {
    return foldBytes(trimmedUtf8(name));
}

void IniDocument::parse(std::string_view bytes) {
    m_sections.clear();
    m_byName.clear();
    m_sections.emplace_back();
    m_eol = Eol::Lf;
    m_bom = bytes.starts_with(kBom);
    m_dirty = false;
    if (m_bom) bytes.remove_prefix(kBom.size());

    bool eolSeen = false;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        Line line;
        std::string_view text;
        const auto newline = bytes.find('\n', pos);
        if (newline == std::string_view::npos) {
            text = bytes.substr(pos);
            pos = bytes.size();
        } else {
            text = bytes.substr(pos, newline - pos);
            pos = newline + 1;
            line.eol = Eol::Lf;
            if (!text.empty() && text.back() == '\r') {
                text.remove_suffix(1);
                line.eol = Eol::CrLf;
            }
            if (!eolSeen) {
                m_eol = line.eol;
                eolSeen = true;
            }
        }
        line.text = std::string(text);

        const auto lead = text.find_first_not_of(kBlanks);
        if (lead != std::string_view::npos && text[lead] == '[') {
            const auto close = text.find(']', lead + 1);
            const auto inner =
                text.substr(lead + 1, close == text.npos ? text.npos : close - lead - 1);
            line.kind = Kind::Header;
            Section section;
            section.name = foldBytes(trim(inner));
            section.lines.push_back(std::move(line));
            m_byName[section.name].push_back(m_sections.size());
            m_sections.push_back(std::move(section));
            continue;
        }
        Section& section = m_sections.back();
        if (lead != std::string_view::npos && text[lead] != ';' && text[lead] != '#') {
            const auto equals = text.find('=', lead);
            if (equals != std::string_view::npos) {
                line.kind = Kind::Key;
                line.valueStart = equals + 1;
                const std::size_t index = section.lines.size();
                // The first of two equal keys is the one read and written.
                section.keys.try_emplace(foldBytes(trim(text.substr(lead, equals - lead))), index);
                section.lastKeyLine = index;
            }
        }
        section.lines.push_back(std::move(line));
    }
}

std::string IniDocument::serialize() const {
    std::size_t size = m_bom ? kBom.size() : 0;
    for (const Section& section : m_sections) {
        for (const Line& line : section.lines)
            size += line.text.size() + 2;
    }
    std::string bytes;
    bytes.reserve(size);
    if (m_bom) bytes += kBom;
    for (const Section& section : m_sections) {
        for (const Line& line : section.lines) {
            bytes += line.text;
            if (line.eol == Eol::CrLf)
                bytes += "\r\n";
            else if (line.eol == Eol::Lf)
                bytes += '\n';
        }
    }
    return bytes;
}

std::optional<IniDocument::KeyRef> IniDocument::find(const std::string& section,
                                                     const std::string& key) const {
    const auto named = m_byName.find(section);
    if (named == m_byName.end()) return std::nullopt;
    for (const std::size_t index : named->second) {
        const auto& keys = m_sections[index].keys;
        if (const auto hit = keys.find(key); hit != keys.end()) return KeyRef{index, hit->second};
    }
    return std::nullopt;
}

std::optional<std::string_view> IniDocument::value(const QString& section,
                                                   const QString& key) const {
    const auto ref = find(foldName(section), foldName(key));
    if (!ref) return std::nullopt;
    const Line& line = m_sections[ref->section].lines[ref->line];
    std::string_view text = std::string_view(line.text).substr(line.valueStart);
    text = text.substr(0, text.find('\0'));
    return trim(text);
}

bool IniDocument::hasSection(const QString& section) const {
    return m_byName.contains(foldName(section));
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
        Line& line = m_sections[ref->section].lines[ref->line];
        // Keep the key's own spelling and any blanks after '='.
        std::size_t start = line.valueStart;
        while (start < line.text.size() && (line.text[start] == ' ' || line.text[start] == '\t'))
            ++start;
        std::string replaced = line.text.substr(0, start) + text;
        if (replaced != line.text) {
            line.text = std::move(replaced);
            m_dirty = true;
        }
        return true;
    }

    const auto named = m_byName.find(folded);
    std::size_t index = 0;
    if (named != m_byName.end()) {
        index = named->second.front();
    } else {
        endLastLine();
        index = m_sections.size();
        Section fresh;
        fresh.name = folded;
        fresh.lines.push_back(Line{"[" + sectionName + "]", m_eol, Kind::Header, 0});
        m_sections.push_back(std::move(fresh));
        m_byName[folded].push_back(index);
    }
    Section& target = m_sections[index];
    // After the section's last key, before any blank or comment lines that
    // close it; the lines that follow are no keys, so no key index moves.
    const std::size_t at = target.lastKeyLine + 1;
    addLine(target, at, keyName + "=" + text, Kind::Key, keyName.size() + 1);
    target.keys.emplace(foldedKey, at);
    target.lastKeyLine = at;
    m_dirty = true;
    return true;
}

void IniDocument::addLine(Section& section, std::size_t at, std::string text, Kind kind,
                          std::size_t valueStart) {
    if (at > 0 && section.lines[at - 1].eol == Eol::None) section.lines[at - 1].eol = m_eol;
    section.lines.insert(section.lines.begin() + static_cast<std::ptrdiff_t>(at),
                         Line{std::move(text), m_eol, kind, valueStart});
}

void IniDocument::endLastLine() {
    for (auto section = m_sections.rbegin(); section != m_sections.rend(); ++section) {
        if (!section->lines.empty()) {
            if (section->lines.back().eol == Eol::None) section->lines.back().eol = m_eol;
            return;
        }
    }
}

bool IniDocument::save(QString& error) {
    if (!m_dirty) return true;
    if (!writeFileAtomically(m_filePath, serialize(), error)) return false;
    m_dirty = false;
    return true;
}
