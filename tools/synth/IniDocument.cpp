#include "synth/IniDocument.h"

#include <algorithm>
#include <cctype>

#include "synth/SynthError.h"

namespace fluvex::synth {

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

std::string LineText(int line) {
    return "line " + std::to_string(line) + ": ";
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument document;
    std::string section;
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = Trimmed(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        ++lineNumber;
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3)
                throw SynthError(LineText(lineNumber) + "a section header is written [Name]");
            section = Trimmed(line.substr(1, line.size() - 2));
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || Trimmed(line.substr(0, equals)).empty())
            throw SynthError(LineText(lineNumber) + "expected Key = Value");
        document.Add({section,
                      std::string(Trimmed(line.substr(0, equals))),
                      {std::string(Trimmed(line.substr(equals + 1))), lineNumber}});
    }
    return document;
}

void IniDocument::Add(Entry entry) {
    const bool repeated = std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return SameName(e.section, entry.section) && SameName(e.key, entry.key);
    });
    if (repeated)
        throw SynthError(LineText(entry.value.line) + "[" + entry.section + "] " + entry.key +
                         " is given twice");
    entries_.push_back(std::move(entry));
}

std::optional<IniValue> IniDocument::Take(std::string_view section, std::string_view key) {
    const auto entry = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return SameName(e.section, section) && SameName(e.key, key);
    });
    if (entry == entries_.end()) return std::nullopt;
    entry->understood = true;
    return entry->value;
}

void IniDocument::RejectUnknownKeys() const {
    const auto unknown = std::find_if(entries_.begin(), entries_.end(),
                                      [](const Entry& e) { return !e.understood; });
    if (unknown != entries_.end())
        throw SynthError(LineText(unknown->value.line) + "unknown key [" + unknown->section + "] " +
                         unknown->key);
}

}  // namespace fluvex::synth
