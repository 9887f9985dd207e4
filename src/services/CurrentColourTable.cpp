#include "services/CurrentColourTable.h"

#include <cmath>

#include "model/BadValue.h"
#include "model/Units.h"

namespace fluvex {

namespace {

std::unique_ptr<ColourLookup>& VelocityTableSlot() {
    static std::unique_ptr<ColourLookup> table;
    return table;
}

}  // namespace

ColourLookup* CurrentVelocityTable() {
    return VelocityTableSlot().get();
}

void SetCurrentVelocityTable(std::unique_ptr<ColourLookup> table) {
    VelocityTableSlot() = std::move(table);
}

ColourRef ValueColour(double value, int q) {
    ColourLookup* table = CurrentVelocityTable();
    if (!table || value == kBadValue) return 0;
    if (!IsUnscaledQuantity(q)) value /= Units().VelocityScale();
    return table->Colour(value);
}

ColourRef VelocityColour(int16_t millimetresPerSecond, int q) {
    return ValueColour(millimetresPerSecond, q);
}

void RescaleVelocityTable(double minimum, double maximum, double stepDivisor) {
    ColourLookup* table = CurrentVelocityTable();
    if (!table) return;
    table->Properties().step = std::fabs(maximum - minimum) / stepDivisor;
    table->SetRange(minimum, maximum);
}

}  // namespace fluvex
