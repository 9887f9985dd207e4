#pragma once

// Small text helpers. Numbers are locale-independent: Files always use '.' as the decimal point
// whatever the user's locale, and the desktop program changes the C library's locale at start-up,
// so nothing here goes through printf or strtod.

#include <optional>
#include <string>
#include <string_view>

namespace fluvex {

// True when the two texts differ at most in the case of ASCII letters.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Text without leading and trailing blanks, tabs, carriage returns and line feeds.
std::string_view Trim(std::string_view text);

// The whole trimmed text as a decimal integer ("12", "-3", "+4"), else nothing: "12.5", "1e3",
// "0x10" and "" are not integers.
std::optional<int> ParseInt(std::string_view text);

// The whole trimmed text as a finite decimal number ("0.31", "-12.9", "1e-3"); "nan" and
// "inf" are refused, as no setting or file field can use them.
std::optional<double> ParseDouble(std::string_view text);

// "1"/"0" or any whole integer (non-zero is true), or "true"/"false" in any case.
std::optional<bool> ParseBool(std::string_view text);

// The shortest text that reads back as exactly `value` ("0.31", "4", "-12.5").
std::string FormatShortest(double value);

// `value` with a fixed number of decimals, like printf's "%.Nf".
std::string FormatFixed(double value, int decimals);

// `value` as "%0Nd": zero-padded to `width` digits.
std::string FormatPadded(long long value, int width);

// The code point of the UTF-8 sequence at the front of `text` (not empty), which is consumed;
// nothing, with one byte consumed, for a sequence that is broken, overlong, a surrogate or beyond
// U+10FFFF.
std::optional<char32_t> TakeUtf8CodePoint(std::string_view& text);

}  // namespace fluvex
