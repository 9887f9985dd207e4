#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <ostream>
#include <string>

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
    for (std::size_t i = 0; i < count; ++i) {
        // An array of one gives the element with the indentation it has inside the whole array,
        // between "[\n" and "\n]".
        nlohmann::json single = nlohmann::json::array();
        single.push_back(element(i));
        const std::string text = JsonText(single, 1);
        constexpr std::size_t frame = 2;
        out.write(text.data() + frame, static_cast<std::streamsize>(text.size() - 2 * frame));
        if (i + 1 < count) out << ",\n";
    }
    out << "\n]";
}

}  // namespace fluvex
