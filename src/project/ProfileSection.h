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
    // cell covers are white. width = plot width, height = plot height (0 when under 2 pixels):
    // the plot's right column and bottom row are left to the frame drawn over them.
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    PixelPoint origin;  // the plot's top-left corner in surface pixels
    // Bed points in surface pixels (not plot-relative), ordered by x, ties by y; drawn only when
    // `bedVisible`. Pings without a bed depth (0: no bottom found) add no point.
    std::vector<PixelPoint> bed;
    bool bedVisible = false;
    std::uint32_t bedColour = 0xFF000000;  // 0xAARRGGBB of Depth%dColor for the depth reference
    int bedPenWidth = 1;                   // DepthLineWidth
    int bedPenStyle = 0;                   // DepthPenStyle

    // Surface pixels, as the layout's plot places them; 0 (transparent) outside the image.
    std::uint32_t PixelAt(int x, int y) const;
};

// Walks the line's pings and fills their cells and bed points. Each cell covers the columns from
// the smaller to the larger of its two pings' pixels and the rows from its top's pixel up to its
// bottom's, each excluding the far edge, so that neighbours meet without gaps or overlaps.
SectionImage RenderSection(Database& database, int line, const ProfileLayout& layout);

// The texts above and below the section. The positions are those of the first ping with a
// position and of the last one after it; texts that need a position the line lacks are empty.
// Length and azimuth have no text id yet and show their design captions.
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

// The four discharge figures (measured, top, bottom, total), each "caption: figure"; with the
// clip border when it has three points or more.
std::vector<std::string> ProfileFooter(Database& database, int line);

}  // namespace fluvex
