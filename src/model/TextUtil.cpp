#include "model/TextUtil.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

namespace fluvex {

namespace {

template <typename T, typename... Options>
std::optional<T> ParseWhole(std::string_view text, Options... options) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    T value{};
    const char* end = text.data() + text.size();
    auto [last, error] = std::from_chars(text.data(), end, value, options...);
    if (text.empty() || error != std::errc{} || last != end) return std::nullopt;
    return value;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string_view Trim(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::optional<int> ParseInt(std::string_view text) {
    return ParseWhole<int>(text, 10);
}

std::optional<double> ParseDouble(std::string_view text) {
    const auto value = ParseWhole<double>(text, std::chars_format::general);
    return value && std::isfinite(*value) ? value : std::nullopt;
}

std::optional<bool> ParseBool(std::string_view text) {
    if (const auto number = ParseInt(text)) return *number != 0;
    if (EqualsIgnoringCase(Trim(text), "true")) return true;
    if (EqualsIgnoringCase(Trim(text), "false")) return false;
    return std::nullopt;
}

std::string FormatShortest(double value) {
    std::array<char, 64> buffer{};
    auto [last, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return error == std::errc{} ? std::string(buffer.data(), last) : std::string("0");
}

std::string FormatFixed(double value, int decimals) {
    // Values beyond 1e300 need up to ~310 digits before the point.
    std::array<char, 400> buffer{};
    auto [last, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                       std::chars_format::fixed, decimals);
    return error == std::errc{} ? std::string(buffer.data(), last) : FormatShortest(value);
}

std::string FormatPadded(long long value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (digits.size() < static_cast<size_t>(width))
        digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

std::optional<char32_t> TakeUtf8CodePoint(std::string_view& text) {
    const auto lead = static_cast<unsigned char>(text.front());
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (lead >= 0x80 && (lead < 0xC2 || lead > 0xF4 || text.size() < length)) {
        text.remove_prefix(1);
        return std::nullopt;
    }
    char32_t code = length == 1 ? lead : lead & (0x7FU >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0U) != 0x80U) {
            text.remove_prefix(1);
            return std::nullopt;
        }
        code = (code << 6U) | (next & 0x3FU);
    }
    text.remove_prefix(length);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < kSmallest[length] || surrogate || code > 0x10FFFF) return std::nullopt;
    return code;
}

}  // namespace fluvex
