#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/ColourLookup.h"

namespace fluvex {

// A velocity colour table read from a colour file (.hcf; layout in docs/formats.md): colour
// stops spread evenly from the minimum to the maximum with linear interpolation between them,
// and fixed colours below and above the range.
class ColourTable final : public ColourLookup {
public:
    // Reads a colour file; null with `error` set when it is missing or malformed.
    static std::unique_ptr<ColourTable> Read(const std::filesystem::path& path, std::string& error);
    // Writes the colour file a new installation starts with.
    static bool WriteDefaultFile(const std::filesystem::path& path, std::string* error = nullptr);

    // Writes this table (its current range and step) in the colour-file layout.
    bool Write(const std::filesystem::path& path, std::string* error = nullptr) const;

    std::filesystem::path FileName() const override { return path_; }
    // Below the minimum: the below-range colour; above the maximum: the above-range colour.
    ColourRef Colour(double value) const override;
    // 0 below the range, 1..n for the stop at or below the value, n + 1 above the range.
    int Index(double value) const override;
    ColourTableProperties& Properties() override { return properties_; }
    void SetRange(double minimum, double maximum) override;

    const std::vector<ColourRef>& Stops() const { return stops_; }
    void SetStops(std::vector<ColourRef> stops);
    ColourRef BelowColour() const { return below_.colour; }
    ColourRef AboveColour() const { return above_.colour; }
    void SetOutOfRangeColours(ColourRef below, ColourRef above);

private:
    // A colour that applies outside the range, with the number the file keeps beside it.
    struct OutOfRange {
        double value = 0;
        ColourRef colour = 0;
    };

    // Position of the value along the stops: 0 at the first, stops - 1 at the last.
    double StopPosition(double value) const;

    std::filesystem::path path_;
    ColourTableProperties properties_;
    OutOfRange below_;
    OutOfRange above_;
    std::vector<int> reserved_;
    std::vector<ColourRef> stops_;
};

// Makes the colour file at `path` the current velocity table. A missing file is first created
// with the default colours, and a table created that way starts with the range 0 to 5. False
// with `error` set when the file cannot be written or read; the current table is then kept.
bool LoadColourTable(const std::filesystem::path& path, std::string* error = nullptr);

}  // namespace fluvex
