#pragma once

#include <array>

#include "model/ColourLookup.h"

namespace fluvex {

// The built-in hue wheel for directions: 0° red, 90° yellow, 180° green, 270° blue, one entry
// per whole degree plus a final catch-all entry, so a value takes the colour of the whole
// degree below it.
class DirectionColourTable final : public ColourLookup {
public:
    static constexpr int kEntryCount = 362;

    DirectionColourTable();

    std::filesystem::path FileName() const override { return {}; }
    ColourRef Colour(double value) const override;
    int Index(double value) const override;
    ColourTableProperties& Properties() override { return properties_; }
    void SetRange(double minimum, double maximum) override;

private:
    struct Entry {
        double value;
        ColourRef colour;
    };

    std::array<Entry, kEntryCount> entries_{};
    ColourTableProperties properties_;
};

}  // namespace fluvex
