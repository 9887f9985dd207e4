#pragma once

// The surveyor's settings as the option values the core's functions take. The application reads
// its settings here and passes the values down, so that nothing below this layer depends on the
// process's settings record.

#include "model/QuantityOptions.h"
#include "processing/Discharge.h"
#include "processing/VelocityProcessing.h"

namespace fluvex {

class Settings;
class UnitSystem;

QuantityOptions QuantityOptionsOf(const Settings& settings, const UnitSystem& units);
ProcessingOptions ProcessingOptionsOf(const Settings& settings, const UnitSystem& units);
ShoreOptions ShoreOptionsOf(const Settings& settings);

// The options of the process's own settings and units (AppSettings, Units).
QuantityOptions CurrentQuantityOptions();
ProcessingOptions CurrentProcessingOptions();

}  // namespace fluvex
