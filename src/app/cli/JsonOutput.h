#pragma once

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace fluvex {

// JSON text of `value`. File names are bytes, not necessarily UTF-8 (a Latin-1 "café" is one
// byte 0xE9): bytes that are not UTF-8 are written as U+FFFD instead of ending the program.
inline std::string JsonText(const nlohmann::json& value, int indent) {
    return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Writes an array of `count` elements exactly as JsonText(array, 1) would, making and writing one
// element at a time, so that memory stays that of one element however long the array.
// `element(i)` gives element i.
template <class MakeElement>
void WriteJsonArrayIndent1(std::ostream& out, std::size_t count, MakeElement element) {
    if (count == 0) {
        out << "[]";
        return;
    }
    out << "[\n";
    std::string shifted;
    for (std::size_t i = 0; i < count; ++i) {
        // Inside the array each line of the element is one space further in. Strings in JSON
        // text hold no raw line break, so every '\n' ends a line.
        const std::string text = JsonText(element(i), 1);
        shifted.assign(1, ' ');
        for (std::size_t from = 0; from < text.size();) {
            const std::size_t end = std::min(text.find('\n', from), text.size());
            shifted.append(std::string_view(text).substr(from, end - from));
            if (end < text.size()) shifted.append("\n ");
            from = end + 1;
        }
        if (i + 1 < count) shifted.append(",\n");
        out << shifted;
    }
    out << "\n]";
}

}  // namespace fluvex
