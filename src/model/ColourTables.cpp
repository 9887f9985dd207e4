#include "model/ColourTables.h"

#include <cmath>

#include "model/BadValue.h"
#include "model/Units.h"
#include "services/ColourTable.h"
#include "settings/Settings.h"

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

bool LoadColourTable(const std::filesystem::path& path, std::string* error) {
    std::error_code ec;
    const bool created = !std::filesystem::exists(path, ec);
    if (created && !ColourTable::WriteDefaultFile(path, error)) return false;
    std::string why;
    auto table = ColourTable::Read(path, why);
    if (!table) {
        if (error) *error = why;
        return false;
    }
    if (created) table->SetRange(0, 5);
    SetCurrentVelocityTable(std::move(table));
    return true;
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
