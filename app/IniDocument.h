#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The parsed text of one INI file, kept line by line so that a write touches
// one line alone and everything else is saved back byte for byte. Section and
// key names are compared case-folded. Not thread-safe: one user-interface
// thread owns every accessor.
class IniDocument {
public:
    // The document of the file at path, shared by every accessor open on the
    // same file in this process; read from disk when no accessor holds it.
    static std::shared_ptr<IniDocument> open(const QString& path);

    explicit IniDocument(QString filePath);
    IniDocument(const IniDocument&) = delete;
    IniDocument& operator=(const IniDocument&) = delete;

    const QString& filePath() const { return m_filePath; }

    // Replaces the whole content by these bytes (a leading byte-order mark
    // is skipped and kept for saving).
    void parse(std::string_view bytes);
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
    enum class Kind : unsigned char { Other, Header, Key };
    enum class Eol : unsigned char { None, Lf, CrLf };
    struct Line {
        std::string text;
        Eol eol = Eol::None;
        Kind kind = Kind::Other;
        std::size_t valueStart = 0; // key lines: the first byte after '='
    };
    struct Section {
        std::string name;        // folded; unused for the lines before the first header
        std::vector<Line> lines; // a section's first line is its header
        std::unordered_map<std::string, std::size_t> keys; // folded key -> line
        std::size_t lastKeyLine = 0;
    };

    struct KeyRef {
        std::size_t section;
        std::size_t line;
    };
    std::optional<KeyRef> find(const std::string& section, const std::string& key) const;
    void addLine(Section& section, std::size_t at, std::string text, Kind kind,
                 std::size_t valueStart);
    void endLastLine();

    QString m_filePath;
    std::vector<Section> m_sections; // [0]: lines before the first header
    std::unordered_map<std::string, std::vector<std::size_t>> m_byName;
    Eol m_eol = Eol::Lf; // the ending the file uses, given to new lines
    bool m_bom = false;
    bool m_dirty = false;
};
