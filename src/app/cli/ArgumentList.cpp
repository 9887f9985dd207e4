#include "app/cli/ArgumentList.h"

#include <algorithm>
#include <utility>

#include "model/TextUtil.h"

namespace fluvex {

bool ArgumentList::TakeFlag(std::string_view flag) {
    const auto found = std::find(arguments_.begin(), arguments_.end(), flag);
    if (found == arguments_.end()) return false;
    arguments_.erase(found);
    return true;
}

std::optional<std::string> ArgumentList::TakeValue(std::string_view option) {
    const auto found = std::find(arguments_.begin(), arguments_.end(), option);
    if (found == arguments_.end()) return std::nullopt;
    if (found + 1 == arguments_.end()) {
        Fail("option " + std::string(option) + " needs a value");
        arguments_.erase(found);
        return std::nullopt;
    }
    std::string value = *(found + 1);
    arguments_.erase(found, found + 2);
    return value;
}

std::optional<double> ArgumentList::TakeNumber(std::string_view option) {
    const auto text = TakeValue(option);
    if (!text) return std::nullopt;
    const auto number = ParseDouble(*text);
    if (!number) Fail(std::string(option) + " needs a number, not \"" + *text + "\"");
    return number;
}

std::optional<int> ArgumentList::TakeCount(std::string_view option) {
    const auto text = TakeValue(option);
    if (!text) return std::nullopt;
    const auto number = ParseInt(*text);
    if (!number || *number < 0) {
        Fail(std::string(option) + " needs a whole number of at least 0, not \"" + *text + "\"");
        return std::nullopt;
    }
    return number;
}

std::optional<std::string> ArgumentList::TakeFirstWord() {
    const auto found = std::find_if(arguments_.begin(), arguments_.end(),
                                    [](const std::string& a) { return !a.starts_with("-"); });
    if (found == arguments_.end()) return std::nullopt;
    std::string word = *found;
    arguments_.erase(found);
    return word;
}

std::vector<std::string> ArgumentList::TakePositional() {
    for (const std::string& argument : arguments_)
        if (argument.starts_with("--")) Fail("unknown option " + argument);
    return std::exchange(arguments_, {});
}

void ArgumentList::Fail(std::string error) {
    if (error_.empty()) error_ = std::move(error);
}

}  // namespace fluvex
