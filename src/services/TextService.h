#pragma once

// User-interface texts by numeric id. Windows, dialogs and reports ask for their captions,
// hints, list items and headings here; an id without a text gives "" and the caller keeps the
// text it was designed with.

#include <span>
#include <string>

namespace fluvex {

class TextService {
public:
    // The text of `id`, or "" when there is none.
    static std::string LoadText(int id);

    // The texts of `ids` joined in order, up to the first 0 (the whole list when it has none).
    // Ids without a text add nothing.
    static std::string LoadText(std::span<const int> ids);
};

}  // namespace fluvex
