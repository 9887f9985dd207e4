#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fluvex::synth {

struct IniValue {
    std::string text;  // blanks trimmed
    int line = 0;      // 1-based, for messages
};

// The key=value lines of a description, by section. Names match without regard to case; lines
// starting with ';' or '#' are comments. Every key read is marked, so that a misspelt key is
// reported instead of silently giving a default.
class IniDocument {
public:
    // Throws SynthError for a line that is neither a section header, a key=value pair, a comment
    // nor blank, and for a key given twice in a section.
    static IniDocument Parse(std::string_view text);

    std::optional<IniValue> Take(std::string_view section, std::string_view key);
    // Throws SynthError naming the first key that no Take asked for.
    void RejectUnknownKeys() const;

private:
    struct Entry {
        std::string section;
        std::string key;
        IniValue value;
        bool understood = false;
    };
    void Add(Entry entry);

    std::vector<Entry> entries_;
};

}  // namespace fluvex::synth
