#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fluvex::synth {

// A clock reading as an instrument's real-time clock holds it: no time zone, hundredths of a
// second.
struct CivilTime {
    int year = 2000;
    int month = 1;  // 1-12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int hundredths = 0;
};

// Times are counted in hundredths of a second from 1970-01-01 00:00:00.00 of the same clock.
std::int64_t ToHundredths(const CivilTime& time);
CivilTime ToCivil(std::int64_t hundredths);
// Hundredths since midnight of the reading's day.
std::int64_t HundredthsOfDay(std::int64_t hundredths);

// "YYYY-MM-DDTHH:MM:SS" with an optional fraction of up to two digits; a blank may stand for the
// 'T'. Nothing for any other text or an impossible date.
std::optional<CivilTime> ParseCivilTime(std::string_view text);
// "YYYY-MM-DDTHH:MM:SS.hh".
std::string IsoText(const CivilTime& time);

}  // namespace fluvex::synth
