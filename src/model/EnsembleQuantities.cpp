#include "model/EnsembleQuantities.h"

#include <array>

#include "settings/Settings.h"

namespace fluvex {

namespace {

constexpr int kInstrumentClock = 1;

int DaysBeforeMonth(int month, int twoDigitYear) {
    constexpr std::array<int, 12> lengths{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int days = 0;
    for (int m = 0; m < month; ++m)
        days += m == 1 && twoDigitYear % 4 == 0 ? 29 : lengths[static_cast<size_t>(m)];
    return days;
}

// False (and the ping marked unusable) when the clock holds an impossible month or day.
bool CheckClockDate(Ensemble& ensemble) {
    const VariableLeader& clock = ensemble.variableLeader;
    if (clock.RtcMonth() <= 11 && clock.RtcDay() <= 31) return true;
    ensemble.loaded = false;
    return false;
}

}  // namespace

double EnsembleTime(Ensemble& ensemble, int timingMode) {
    if (!ensemble.loaded || !CheckClockDate(ensemble)) return 0;
    if (timingMode == 0) timingMode = AppSettings().Time_Type();
    if (timingMode != kInstrumentClock) return ensemble.fixedLeader.TimeTagMs() / 1000.0;
    const VariableLeader& clock = ensemble.variableLeader;
    const int days = DaysBeforeMonth(clock.RtcMonth(), clock.RtcYear()) + clock.RtcDay();
    return ((days * 24 + clock.RtcHour()) * 3600.0) + clock.RtcMinute() * 60 + clock.RtcSecond() +
           clock.RtcHundredths() / 100.0;
}

}  // namespace fluvex
