#pragma once

// The velocity section of a line as plain pixels: every cell of every drawn ping filled with its
// colour in an image the size of the drawing surface's plot, and the bed line through the pings'
// bed depths. Drawing it on a screen or a page is then one image and one polyline, and tests can
// read the pixels back.

#include <cstdint>
#include <string>
#include <vector>

#include "project/ProfileScales.h"

namespace fluvex {

class Database;

struct PixelPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PixelPoint&) const = default;
};

struct SectionImage {
    // Pixels of the plot rectangle, row by row from its top-left corner, 0xAARRGGBB; pixels no
    // cell covers are white. width = plot width, height = plot height (0 when under 2 pixels).
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    // Bed points in surface pixels (not plot-relative), ordered by x; drawn only when
    // `bedVisible` (some bed depth above 0).
    std::vector<PixelPoint> bed;
    bool bedVisible = false;
    std::uint32_t bedColour = 0xFF000000;  // 0xAARRGGBB of Depth%dColor for the depth reference
    int bedPenWidth = 1;                   // DepthLineWidth
    int bedPenStyle = 0;                   // DepthPenStyle

    std::uint32_t PixelAt(int x, int y) const;  // surface pixels, as the layout's plot places them
};

// Walks the line's pings and fills their cells and bed points.
SectionImage RenderSection(Database& database, int line, const ProfileLayout& layout);

// The texts above and below the section.
struct ProfileHeaderText {
    std::string firstEasting;  // "Easting: 1234.56" and so on, captions from the text service
    std::string firstNorthing;
    std::string lastEasting;
    std::string lastNorthing;
    std::string name;
    std::string length;
    std::string azimuth;
};
ProfileHeaderText ProfileHeader(Database& database, int line);

// The four discharge figures, each "caption: figure"; with the clip border when it is set.
std::vector<std::string> ProfileFooter(Database& database, int line);

}  // namespace fluvex
