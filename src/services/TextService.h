#pragma once

// User-interface texts by numeric id. Windows, dialogs and reports ask for their captions,
// hints, list items and headings here; an id without a text gives "" and the caller keeps the
// text it was designed with.

#include <span>
#include <string>
#include <string_view>

namespace fluvex {

class TextService {
public:
    // The text of `id`, or "" when there is none.
    static std::string LoadText(int id);

    // The texts of `ids` joined in order, up to the first 0 (the whole list when it has none).
    // Ids without a text add nothing.
    static std::string LoadText(std::span<const int> ids);
};

// A caption by text id, with the text it was designed with for ids the text table lacks.
struct Caption {
    int textId = 0;  // 0: none yet
    std::string_view designText;
};

std::string CaptionText(const Caption& caption);
// "caption: value".
std::string Labelled(const Caption& caption, std::string_view value);
std::string Labelled(std::string_view name, std::string_view value);

}  // namespace fluvex
