#include "synth/SurveyTime.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace fluvex::synth {

namespace {

constexpr std::int64_t kHundredthsPerDay = 8'640'000;

// Reads exactly `digits` decimal digits at `at`.
std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t digits) {
    if (at + digits > text.size() || text[at] < '0' || text[at] > '9') return std::nullopt;
    int value = 0;
    const char* first = text.data() + at;
    const auto [end, error] = std::from_chars(first, first + digits, value);
    if (error != std::errc{} || end != first + digits) return std::nullopt;
    return value;
}

bool IsSeparator(std::string_view text, std::size_t at, char expected) {
    return at < text.size() && text[at] == expected;
}

std::optional<int> Fraction(std::string_view text) {
    if (text.empty()) return 0;
    if (text.front() != '.' || text.size() < 2 || text.size() > 3) return std::nullopt;
    const auto value = Digits(text, 1, text.size() - 1);
    if (!value) return std::nullopt;
    return text.size() == 2 ? *value * 10 : *value;
}

bool IsValid(const CivilTime& t) {
    const std::chrono::year_month_day date{std::chrono::year{t.year},
                                           std::chrono::month{static_cast<unsigned>(t.month)},
                                           std::chrono::day{static_cast<unsigned>(t.day)}};
    return date.ok() && t.hour < 24 && t.minute < 60 && t.second < 60;
}

}  // namespace

std::int64_t ToHundredths(const CivilTime& time) {
    const std::chrono::sys_days date{std::chrono::year{time.year} /
                                     std::chrono::month{static_cast<unsigned>(time.month)} /
                                     std::chrono::day{static_cast<unsigned>(time.day)}};
    const std::int64_t days = date.time_since_epoch().count();
    const std::int64_t seconds = (time.hour * 60 + time.minute) * 60 + time.second;
    return days * kHundredthsPerDay + seconds * 100 + time.hundredths;
}

CivilTime ToCivil(std::int64_t hundredths) {
    const std::int64_t day = hundredths >= 0 ? hundredths / kHundredthsPerDay
                                             : -((-hundredths - 1) / kHundredthsPerDay) - 1;
    const std::int64_t ofDay = hundredths - day * kHundredthsPerDay;
    const std::chrono::year_month_day date{
        std::chrono::sys_days{std::chrono::days{static_cast<int>(day)}}};
    const auto part = [&](std::int64_t divisor, std::int64_t modulus) {
        return static_cast<int>(ofDay / divisor % modulus);
    };
    return {static_cast<int>(date.year()),
            static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day())),
            part(360'000, 24),
            part(6'000, 60),
            part(100, 60),
            part(1, 100)};
}

std::int64_t HundredthsOfDay(std::int64_t hundredths) {
    const std::int64_t ofDay = hundredths % kHundredthsPerDay;
    return ofDay < 0 ? ofDay + kHundredthsPerDay : ofDay;
}

std::optional<CivilTime> ParseCivilTime(std::string_view text) {
    const bool separatorsOk = IsSeparator(text, 4, '-') && IsSeparator(text, 7, '-') &&
                              (IsSeparator(text, 10, 'T') || IsSeparator(text, 10, ' ')) &&
                              IsSeparator(text, 13, ':') && IsSeparator(text, 16, ':');
    if (!separatorsOk) return std::nullopt;
    const auto year = Digits(text, 0, 4);
    const auto month = Digits(text, 5, 2);
    const auto day = Digits(text, 8, 2);
    const auto hour = Digits(text, 11, 2);
    const auto minute = Digits(text, 14, 2);
    const auto second = Digits(text, 17, 2);
    const auto hundredths = Fraction(text.size() > 19 ? text.substr(19) : std::string_view{});
    if (!year || !month || !day || !hour || !minute || !second || !hundredths) return std::nullopt;
    const CivilTime time{*year, *month, *day, *hour, *minute, *second, *hundredths};
    if (!IsValid(time)) return std::nullopt;
    return time;
}

std::string IsoText(const CivilTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%02d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second, time.hundredths);
    return text;
}

}  // namespace fluvex::synth
