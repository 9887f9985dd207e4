#include "project/ProfileSection.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <string_view>

#include "model/DirectionColourTable.h"
#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/CurrentColourTable.h"
#include "services/TextService.h"
#include "settings/Settings.h"

namespace fluvex {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kOpaque = 0xFF000000;
// Every colour is opaque, so a transparent entry marks a value not looked up yet.
constexpr std::uint32_t kNotLookedUp = 0;
constexpr std::size_t kInt16Values = 65536;

std::uint32_t ToArgb(ColourRef colour) {
    return kOpaque | static_cast<std::uint32_t>(RedOf(colour)) << 16 |
           static_cast<std::uint32_t>(GreenOf(colour)) << 8 |
           static_cast<std::uint32_t>(BlueOf(colour));
}

const DirectionColourTable& DirectionTable() {
    static const DirectionColourTable table;
    return table;
}

// A half-open run of pixels.
struct PixelSpan {
    int begin = 0;
    int end = 0;

    static PixelSpan Between(int a, int b) { return {std::min(a, b), std::max(a, b)}; }
    PixelSpan ClippedTo(int low, int high) const {
        return {std::max(begin, low), std::min(end, high)};
    }
    bool Empty() const { return begin >= end; }
};

// What the section reads from the settings, once per drawing.
struct SectionOptions {
    bool useTime = false;
    bool autoScaleDepth = false;
    double maxDepth = 0;
    QuantityOptions quantities;  // the shown quantity among them

    static SectionOptions FromSettings() {
        const Settings& settings = AppSettings();
        return {settings.UseTime, settings.AutoScaleDepth, settings.MaxDepth,
                CurrentQuantityOptions()};
    }
};

// The top of cell `cell`; CellDepth knows only the ping's own cells, and the bottom of the last
// one lies a cell size below its top.
double CellTop(const Ensemble& ping, int cell, int cellCount, const UnitSystem& units) {
    return cell < cellCount ? CellDepth(ping, cell, units)
                            : CellDepth(ping, cellCount - 1, units) + CellSize(ping, units);
}

// The ping walk of one drawing: columns of cells between consecutive drawn pings, and the bed.
class SectionWalk {
public:
    SectionWalk(const Database& database, const ProfileLayout& layout, SectionImage& image)
        : database_(database),
          layout_(layout),
          image_(image),
          options_(SectionOptions::FromSettings()) {}

    bool TakesPart(const Ensemble& ping) const {
        return ping.loaded && (options_.useTime || ping.navigation.positionValid);
    }

    void DrawColumn(const Ensemble& previous, const Ensemble& ping) {
        if (!StartsColumn(previous)) return;
        const PixelRect& plot = layout_.plot;
        const PixelSpan columns = PixelSpan::Between(layout_.MapX(HorizontalValue(previous)),
                                                     layout_.MapX(HorizontalValue(ping)))
                                      .ClippedTo(plot.left, plot.right);
        // A ping that shares its pixel with the previous one has nothing to show.
        if (!columns.Empty()) DrawCells(ping, columns);
    }

    // Only pings that found the bed add to its line: a depth of 0 means none was found, and
    // joining it in would pull the line up to the surface at every lost bottom.
    void AddBedPoint(const Ensemble& ping) {
        const PixelRect& plot = layout_.plot;
        const double depth = Depth(ping, options_.quantities);
        if (!(depth > 0)) return;
        image_.bed.push_back(
            {std::clamp(layout_.MapX(HorizontalValue(ping)), plot.left, plot.right),
             std::clamp(layout_.MapY(depth), plot.top, plot.bottom)});
        image_.bedVisible = true;
    }

private:
    double HorizontalValue(const Ensemble& ping) const {
        return options_.useTime ? EnsembleTimeOf(ping, options_.quantities.timingMode)
                                : ping.navigation.distance;
    }

    // A ping whose clock was never set and that has no position cannot place a column's start.
    bool StartsColumn(const Ensemble& previous) const {
        if (!options_.useTime) return previous.navigation.positionValid;
        return EnsembleTimeOf(previous, options_.quantities.timingMode) != 0 ||
               previous.navigation.positionValid;
    }

    // Cells from the top down until one reaches the plot's bottom, the last cell to draw or the
    // depth limit.
    void DrawCells(const Ensemble& ping, PixelSpan columns) {
        const int cellCount = CellCount(ping);
        const int cellsToDraw = std::min(LastCell(ping, options_.quantities), cellCount);
        if (cellsToDraw <= 1 || !database_.InsideBorder(ping.navigation.x, ping.navigation.y))
            return;
        const PixelRect& plot = layout_.plot;
        const double limit = DepthLimit(ping, cellCount);
        int top = layout_.MapY(CellTop(ping, 0, cellCount, options_.quantities.units));
        for (int cell = 0; cell < cellsToDraw; ++cell) {
            const double bottomDepth =
                CellTop(ping, cell + 1, cellCount, options_.quantities.units);
            const int bottom = layout_.MapY(bottomDepth);
            const PixelSpan rows = PixelSpan::Between(top, bottom);
            top = bottom;
            if (rows.end <= plot.top || rows.begin >= plot.bottom) {
                if (cell >= cellsToDraw - 2) return;
                continue;
            }
            Fill(columns, rows.ClippedTo(plot.top, plot.bottom), CellColour(ping, cell));
            if (bottom >= plot.bottom || cell >= cellsToDraw - 1 || bottomDepth >= limit) return;
        }
    }

    double DepthLimit(const Ensemble& ping, int cellCount) const {
        if (!options_.autoScaleDepth) return options_.maxDepth;
        const double bed = Depth(ping, options_.quantities);
        if (bed != 0 || cellCount == 0) return bed;
        return CellDepth(ping, cellCount - 1, options_.quantities.units);
    }

    // A section repeats a few thousand values over many thousand cells: each value is looked up
    // in the colour table once.
    std::uint32_t CellColour(const Ensemble& ping, int cell) {
        const int quantity = options_.quantities.velocityQuantity;
        const std::int16_t value = VelocityComponent(ping, cell, quantity);
        std::uint32_t& colour =
            colours_[static_cast<std::size_t>(value - std::numeric_limits<std::int16_t>::min())];
        if (colour == kNotLookedUp)
            colour = ToArgb(IsAngleQuantity(quantity) ? DirectionTable().Colour(value)
                                                      : VelocityColour(value, quantity));
        return colour;
    }

    // Rows and columns already clipped to the plot, which the image covers.
    void Fill(PixelSpan columns, PixelSpan rows, std::uint32_t colour) {
        const auto width = static_cast<std::size_t>(columns.end - columns.begin);
        for (int row = rows.begin; row < rows.end; ++row) {
            const auto offset = static_cast<std::size_t>(row - image_.origin.y) *
                                    static_cast<std::size_t>(image_.width) +
                                static_cast<std::size_t>(columns.begin - image_.origin.x);
            std::fill_n(std::span(image_.pixels).subspan(offset, width).begin(), width, colour);
        }
    }

    const Database& database_;
    const ProfileLayout& layout_;
    SectionImage& image_;
    SectionOptions options_;
    std::vector<std::uint32_t> colours_ = std::vector<std::uint32_t>(kInt16Values, kNotLookedUp);
};

void SetBedPen(SectionImage& image) {
    const Settings& settings = AppSettings();
    const int reference = settings.BottomTrack();
    if (reference >= 0 && reference < static_cast<int>(settings.DepthColor.size()))
        image.bedColour = ToArgb(
            static_cast<ColourRef>(settings.DepthColor[static_cast<std::size_t>(reference)]));
    image.bedPenWidth = settings.DepthLineWidth;
    image.bedPenStyle = settings.DepthPenStyle;
}

// --- Header and footer ---

constexpr Caption kEastingCaption{3030, "Easting"};
constexpr Caption kNorthingCaption{3055, "Northing"};
constexpr Caption kLengthCaption{0, "Length"};
constexpr Caption kAzimuthCaption{0, "Azimuth"};
constexpr std::array kDischargeCaptions{Caption{5940, "Measured"}, Caption{5941, "Top"},
                                        Caption{5942, "Bottom"}, Caption{5066, "Total"}};

bool HasPosition(const Ensemble& ping) {
    return ping.loaded && ping.navigation.positionValid;
}

const Ensemble* FirstPositioned(std::span<const Ensemble> pings) {
    const auto found = std::ranges::find_if(pings, HasPosition);
    return found == pings.end() ? nullptr : &*found;
}

// Looked for from the last ping down to the second only.
const Ensemble* LastPositioned(std::span<const Ensemble> pings) {
    if (pings.size() < 2) return nullptr;
    const auto later = pings.subspan(1);
    const auto found = std::find_if(later.rbegin(), later.rend(), HasPosition);
    return found == later.rend() ? nullptr : &*found;
}

void DescribePosition(const Ensemble& ping, std::string& easting, std::string& northing) {
    easting = Labelled(kEastingCaption, Units().FormatDistance(ping.navigation.x));
    northing = Labelled(kNorthingCaption, Units().FormatDistance(ping.navigation.y));
}

}  // namespace

std::uint32_t SectionImage::PixelAt(int x, int y) const {
    const int column = x - origin.x;
    const int row = y - origin.y;
    if (column < 0 || column >= width || row < 0 || row >= height) return 0;
    return pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(column)];
}

SectionImage RenderSection(Database& database, int line, const ProfileLayout& layout) {
    SectionImage image;
    const PixelRect& plot = layout.plot;
    if (plot.Width() < 2 || plot.Height() < 2) return image;
    image.width = plot.Width();
    image.height = plot.Height();
    image.origin = {plot.left, plot.top};
    image.pixels.assign(
        static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height), kWhite);
    SetBedPen(image);

    const std::span<const Ensemble> pings = database.Ensembles(line);
    image.bed.reserve(pings.size());
    SectionWalk walk(database, layout, image);
    const Ensemble* previous = nullptr;
    for (const Ensemble& ping : pings) {
        if (!walk.TakesPart(ping)) continue;
        if (previous != nullptr) walk.DrawColumn(*previous, ping);
        walk.AddBedPoint(ping);
        previous = &ping;
    }
    std::ranges::sort(image.bed, [](const PixelPoint& a, const PixelPoint& b) {
        return a.x != b.x ? a.x < b.x : a.y < b.y;
    });
    return image;
}

ProfileHeaderText ProfileHeader(Database& database, int line) {
    ProfileHeaderText header;
    header.name = database.LineName(line);
    const std::span<const Ensemble> pings = database.Ensembles(line);
    const Ensemble* first = FirstPositioned(pings);
    const Ensemble* last = LastPositioned(pings);
    if (first != nullptr) DescribePosition(*first, header.firstEasting, header.firstNorthing);
    if (last != nullptr) DescribePosition(*last, header.lastEasting, header.lastNorthing);
    if (first != nullptr && last != nullptr) {
        const double azimuth = DirectionBetween(first->navigation.x, first->navigation.y,
                                                last->navigation.x, last->navigation.y);
        header.azimuth = Labelled(kAzimuthCaption, FormatOneDecimal(azimuth));
    }
    if (const std::optional<ValueRange> distances = database.DistanceRange(line))
        header.length =
            Labelled(kLengthCaption,
                     Units().FormatDistance(std::fabs(distances->maximum - distances->minimum)));
    return header;
}

std::vector<std::string> ProfileFooter(Database& database, int line) {
    const LineDischarge discharge = database.Border().size() >= 3
                                        ? database.ComputeLineDischargeClipped(line)
                                        : database.ComputeLineDischarge(line);
    const std::array figures{discharge.measured, discharge.top, discharge.bottom, discharge.total};
    std::vector<std::string> texts;
    for (std::size_t k = 0; k < figures.size(); ++k)
        texts.push_back(Labelled(kDischargeCaptions[k], FormatTwoDecimals(figures[k])));
    return texts;
}

}  // namespace fluvex
