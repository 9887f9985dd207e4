#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fluvex {

// A command's own arguments, taken option by option; what is left at the end is positional or
// unknown. Errors (a missing value, an unknown option) are collected for one clear message.
class ArgumentList {
public:
    explicit ArgumentList(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {}

    // True, and the flag removed, when present.
    bool TakeFlag(std::string_view flag);
    // The value after `option`, removed with it; nothing when absent (an error when the value is
    // missing).
    std::optional<std::string> TakeValue(std::string_view option);
    // A number after `option`; an error when it is not a finite number.
    std::optional<double> TakeNumber(std::string_view option);
    std::optional<int> TakeCount(std::string_view option);

    // The first argument that is not an option, removed.
    std::optional<std::string> TakeFirstWord();

    // The remaining arguments; any left starting with "--" are reported as unknown options.
    std::vector<std::string> TakePositional();

    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }
    void Fail(std::string error);

private:
    std::vector<std::string> arguments_;
    std::string error_;
};

}  // namespace fluvex
