#include "services/IniFile.h"

#include <algorithm>
#include <cctype>

#include "model/TextUtil.h"
#include "services/AtomicFile.h"

namespace fluvex {

namespace {

// Splits text into lines, accepting LF, CR LF and a last line without an end.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace

IniFile IniFile::Read(const std::filesystem::path& path) {
    std::string text;
    return ReadWholeFile(path, text) ? Parse(text) : IniFile{};
}

IniFile IniFile::Parse(std::string_view text) {
    IniFile ini;
    ini.sections_.push_back(Section{});
    for (std::string_view raw : SplitLines(text)) {
        const std::string_view line = Trim(raw);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            ini.sections_.push_back(
                Section{std::string(Trim(line.substr(1, line.size() - 2))), {}});
            continue;
        }
        const auto equals = line.find('=');
        const bool isComment = line.empty() || line.front() == ';' || line.front() == '#';
        if (isComment || equals == std::string_view::npos) {
            ini.sections_.back().lines.push_back(Line{{}, std::string(raw), false});
            continue;
        }
        ini.sections_.back().lines.push_back(Line{std::string(Trim(line.substr(0, equals))),
                                                  std::string(Trim(line.substr(equals + 1))),
                                                  true});
    }
    return ini;
}

template <typename Sections>
auto* IniFile::FindIn(Sections& sections, std::string_view name) {
    // Skip the unnamed head section: keys before any header belong to no section.
    using Found = std::remove_reference_t<decltype(sections.front())>;
    for (size_t i = 1; i < sections.size(); ++i)
        if (EqualsIgnoringCase(sections[i].name, name)) return &sections[i];
    return static_cast<Found*>(nullptr);
}

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const {
    const Section* found = FindIn(sections_, section);
    if (!found) return std::nullopt;
    for (const Line& line : found->lines)
        if (line.isEntry && EqualsIgnoringCase(line.key, key)) return line.value;
    return std::nullopt;
}

std::string IniFile::ReadText(std::string_view section, std::string_view key,
                              std::string_view fallback) const {
    return Value(section, key).value_or(std::string(fallback));
}

int IniFile::ReadInt(std::string_view section, std::string_view key, int fallback) const {
    const auto text = Value(section, key);
    return text ? ParseInt(*text).value_or(fallback) : fallback;
}

double IniFile::ReadDouble(std::string_view section, std::string_view key, double fallback) const {
    const auto text = Value(section, key);
    return text ? ParseDouble(*text).value_or(fallback) : fallback;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
    const auto text = Value(section, key);
    return text ? ParseBool(*text).value_or(fallback) : fallback;
}

IniFile::Section& IniFile::SectionForWrite(std::string_view name) {
    if (Section* found = FindIn(sections_, name)) return *found;
    if (sections_.empty()) sections_.push_back(Section{});
    sections_.push_back(Section{std::string(name), {}});
    return sections_.back();
}

void IniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
    Section& target = SectionForWrite(section);
    for (Line& line : target.lines) {
        if (line.isEntry && EqualsIgnoringCase(line.key, key)) {
            line.value = value;
            return;
        }
    }
    // New keys go after the section's last entry, before trailing blank lines or comments.
    auto lastEntry = std::find_if(target.lines.rbegin(), target.lines.rend(),
                                  [](const Line& line) { return line.isEntry; });
    target.lines.insert(lastEntry.base(), Line{std::string(key), std::string(value), true});
}

void IniFile::WriteInt(std::string_view section, std::string_view key, long long value) {
    Write(section, key, std::to_string(value));
}

void IniFile::WriteDouble(std::string_view section, std::string_view key, double value) {
    Write(section, key, FormatShortest(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    Write(section, key, value ? "1" : "0");
}

std::string IniFile::Text(std::string_view lineEnd) const {
    std::string text;
    for (const Section& section : sections_) {
        if (&section != &sections_.front())
            text.append("[").append(section.name).append("]").append(lineEnd);
        for (const Line& line : section.lines) {
            if (line.isEntry)
                text.append(line.key).append("=").append(line.value);
            else
                text.append(line.value);
            text.append(lineEnd);
        }
    }
    return text;
}

bool IniFile::Save(const std::filesystem::path& path, std::string* error) const {
    return WriteFileAtomically(path, Text(), error);
}

}  // namespace fluvex
