#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace fluvex {

// JSON text of `value`. File names are bytes, not necessarily UTF-8 (a Latin-1 "café" is one
// byte 0xE9): bytes that are not UTF-8 are written as U+FFFD instead of ending the program.
inline std::string JsonText(const nlohmann::json& value, int indent) {
    return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace fluvex
