#include "model/DirectionColourTable.h"

namespace fluvex {

namespace {

// The wheel's colour of a whole degree 0..360; integer division is the rounding down.
ColourRef WheelColour(int degree) {
    if (degree <= 90) return MakeColour(255, 255 * degree / 90, 0);
    if (degree <= 180) return MakeColour(255 - 255 * (degree - 90) / 90, 255, 0);
    if (degree <= 270) {
        const int rising = 255 * (degree - 180) / 90;
        return MakeColour(0, 255 - rising, rising);
    }
    const int red = 252 * (degree - 270) / 90;
    return MakeColour(red, 0, 255 - red);
}

}  // namespace

DirectionColourTable::DirectionColourTable() {
    for (int degree = 0; degree <= 360; ++degree)
        entries_[static_cast<size_t>(degree)] = {static_cast<double>(degree), WheelColour(degree)};
    entries_.back() = {2e30, MakeColour(255, 0, 0)};
    properties_ = {0, 16, kEntryCount, entries_.front().value, 360, 1};
}

int DirectionColourTable::Index(double value) const {
    // Binary search for the entry at or below the value; the upper bound is the entry count,
    // so the search may settle on the last entry but never reads past it.
    int lo = 0;
    int hi = kEntryCount - 1;
    while (true) {
        if (hi < lo) return hi < 0 ? 0 : hi;
        const int mid = lo + (hi - lo) / 2;
        if (mid == 0) return lo;
        const double entry = entries_[static_cast<size_t>(mid)].value;
        if (entry == value) return mid;
        if (entry > value)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
}

ColourRef DirectionColourTable::Colour(double value) const {
    return entries_[static_cast<size_t>(Index(value))].colour;
}

void DirectionColourTable::SetRange(double minimum, double maximum) {
    properties_.minimum = minimum;
    properties_.maximum = maximum;
}

}  // namespace fluvex
