#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fluvex {

// An INI file held in memory: sections of key=value lines in file order. Section and key names
// match without regard to case, as in the files the surveyor's other tools write. Reading is
// strict: a key read as an integer whose text is not a whole integer ("12.5") gives the default.
// Comments and keys this program does not know are kept, so rewriting a file loses nothing.
class IniFile {
public:
    // A file that does not exist or cannot be read gives an empty INI file.
    static IniFile Read(const std::filesystem::path& path);
    static IniFile Parse(std::string_view text);

    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    std::string ReadText(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
    int ReadInt(std::string_view section, std::string_view key, int fallback) const;
    double ReadDouble(std::string_view section, std::string_view key, double fallback) const;
    // "1"/"0", any whole integer (non-zero is true), or "true"/"false".
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

    // Replaces the key's value in place, or appends the key (and the section) when missing.
    void Write(std::string_view section, std::string_view key, std::string_view value);
    void WriteInt(std::string_view section, std::string_view key, long long value);
    void WriteDouble(std::string_view section, std::string_view key, double value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // The file's text with the given line end ("\r\n" in files, as the format's home system has).
    std::string Text(std::string_view lineEnd = "\r\n") const;
    // Writes the text atomically (see WriteFileAtomically).
    bool Save(const std::filesystem::path& path, std::string* error = nullptr) const;

private:
    // A line inside a section: a key and its value, or (with no key) a comment or blank line.
    struct Line {
        std::string key;
        std::string value;
        bool isEntry = false;
    };
    struct Section {
        std::string name;
        std::vector<Line> lines;
    };

    template <typename Sections>
    static auto* FindIn(Sections& sections, std::string_view name);
    Section& SectionForWrite(std::string_view name);

    // Lines before the first section header belong to a section with an empty name.
    std::vector<Section> sections_;
};

}  // namespace fluvex
