#include "project/SettingsOptions.h"

#include "settings/Settings.h"

namespace fluvex {

QuantityOptions QuantityOptionsOf(const Settings& settings, const UnitSystem& units) {
    QuantityOptions options;
    options.timingMode = settings.Time_Type();
    options.attitude = {settings.MagDec(), settings.UseEdtHead(), settings.UseEdtPR()};
    options.depthReference = settings.BottomTrack();
    options.depthWithoutBottomTrack = settings.AutoScaleDepth ? 0 : settings.MaxDepth;
    options.lastCellRule = settings.bottomClipping;
    options.clipValue = settings.bottomClipVal;
    options.velocityQuantity = settings.Velocity();
    options.units = units;
    return options;
}

ProcessingOptions ProcessingOptionsOf(const Settings& settings, const UnitSystem& units) {
    ProcessingOptions options;
    options.velocityReference = settings.VelReference();
    options.amplitudeThreshold = settings.SNRFilterVal();
    if (settings.VelAveraging() == 1)
        options.averaging = VerticalAveraging{settings.VelAvgMode(), settings.VelAvgDist(),
                                              settings.VelAvgSamples()};
    options.quantities = QuantityOptionsOf(settings, units);
    return options;
}

ShoreOptions ShoreOptionsOf(const Settings& settings) {
    return {settings.NShorePings, settings.StartCoeff, settings.StartWidth, settings.EndCoeff,
            settings.EndWidth};
}

QuantityOptions CurrentQuantityOptions() {
    return QuantityOptionsOf(AppSettings(), Units());
}

ProcessingOptions CurrentProcessingOptions() {
    return ProcessingOptionsOf(AppSettings(), Units());
}

}  // namespace fluvex
