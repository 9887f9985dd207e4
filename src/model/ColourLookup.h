#pragma once

#include <cstdint>
#include <filesystem>

namespace fluvex {

// A colour as 0x00BBGGRR, the layout colour files and settings store.
using ColourRef = uint32_t;

constexpr ColourRef MakeColour(int red, int green, int blue) {
    return static_cast<ColourRef>(red & 0xFF) | static_cast<ColourRef>(green & 0xFF) << 8 |
           static_cast<ColourRef>(blue & 0xFF) << 16;
}
constexpr int RedOf(ColourRef colour) {
    return static_cast<int>(colour & 0xFF);
}
constexpr int GreenOf(ColourRef colour) {
    return static_cast<int>((colour >> 8) & 0xFF);
}
constexpr int BlueOf(ColourRef colour) {
    return static_cast<int>((colour >> 16) & 0xFF);
}

// What a colour table tells about itself; the colour bar reads minimum and maximum, the
// rescaling rules write step and then set the range.
struct ColourTableProperties {
    int32_t format = 0;
    int32_t kind = 0;
    int32_t entryCount = 0;
    double minimum = 0;
    double maximum = 0;
    double step = 0;
};

// The one interface both colour tables offer (the velocity table from a colour file and the
// built-in direction wheel), so drawing code treats them alike.
class ColourLookup {
public:
    virtual ~ColourLookup() = default;
    // The table's file; empty for the built-in direction table.
    virtual std::filesystem::path FileName() const = 0;
    virtual ColourRef Colour(double value) const = 0;
    // The index of the table entry used for the value.
    virtual int Index(double value) const = 0;
    virtual ColourTableProperties& Properties() = 0;
    virtual void SetRange(double minimum, double maximum) = 0;
};

}  // namespace fluvex
