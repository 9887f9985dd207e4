#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "model/ColourLookup.h"

namespace fluvex {

// The current velocity colour table of the process; null until a colour file is loaded.
ColourLookup* CurrentVelocityTable();
void SetCurrentVelocityTable(std::unique_ptr<ColourLookup> table);

// The colour of a value in the display velocity unit, by shown quantity q (-1: the settings'
// Velocity): black (0) for the bad value; error velocity and direction are looked up unscaled.
// Without a current table the result is black.
ColourRef ValueColour(double value, int q);
// The colour of a cell value held in mm/s.
ColourRef VelocityColour(int16_t millimetresPerSecond, int q);

// Sets the velocity table's range, its step |maximum - minimum| / stepDivisor first.
void RescaleVelocityTable(double minimum, double maximum, double stepDivisor = 100);

}  // namespace fluvex
