#pragma once

// The geometry of a line's velocity section: how a drawing area is divided into the header, the
// plot, the footer and the colour bar; the horizontal range (distance along line or time) and
// the depth range; the mapping between values and pixels; and the label and tick values of the
// axes. Plain values without Qt, so that the screen, the printer and the tests share them.

#include <vector>

namespace fluvex {

class Database;

// A rectangle in pixels of the drawing surface, edges included.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
    bool operator==(const PixelRect&) const = default;
};

// Text sizes measured on the drawing surface.
struct TextMetrics {
    int digitWidth = 0;  // width of "0"
    int labelWidth = 0;  // width of "00000"
    int textHeight = 0;  // height of "0.00"
};

// The colour-bar band: on the screen, and on paper where the page has far more pixels.
constexpr int kScreenColourBarBand = 20;
constexpr int kPrintColourBarBand = 100;

struct ProfileLayout {
    TextMetrics text;
    int colourBarBand = kScreenColourBarBand;
    PixelRect colourBar;
    PixelRect header;
    PixelRect footer;
    PixelRect plot;
    double xScale = 0.0;  // pixels per horizontal unit
    double yScale = 0.0;  // pixels per depth unit
    double xMinimum = 0.0;
    double xMaximum = 0.0;
    double yMinimum = 0.0;
    double yMaximum = 0.0;

    // Values to whole pixels, truncated toward zero. Values far off the plot stop well inside
    // the int range; an empty range (NaN) maps to the plot's left or top edge.
    int MapX(double value) const;
    int MapY(double depth) const;
    // Pixels back to values.
    double ValueAtX(int x) const;
    double DepthAtY(int y) const;
};

// Lays out `line` in `target` from the settings (ranges by hand or from the line, colour bar,
// labels). With AutoScaleColors 1 the velocity colour table is rescaled to the line.
ProfileLayout ComputeProfileLayout(Database& database, int line, const PixelRect& target,
                                   bool printing, const TextMetrics& text);

// What a choice in the profile applies at once to the velocity colour table: with
// `scalingMode` 1 the range of `line`, with 2 the range over all lines; nothing with 0, without
// a table, or when the collection has no valid range.
void ScaleColoursForChoice(Database& database, int line, int scalingMode);

struct AxisIncrements {
    double depthLabel = 1.0;
    double depthTick = 0.5;
    double dblLabel = 1.0;  // seconds when the horizontal axis is time
    double dblTick = 0.5;
};

// The automatic increments: depth labels at least two text heights apart (1, 2.5, 5, 10, 25 ...),
// horizontal labels from the span (or 60 / 3600 seconds), ticks at half the labels.
double AutoDepthLabelIncrement(double fontPoints, double yScale);
double AutoDblLabelIncrement(double span, bool useTime);
// With AutoLabel on, the automatic increments, written back to the settings; otherwise the
// settings' own.
AxisIncrements ApplyAxisIncrements(const ProfileLayout& layout, double fontPoints);

// The values at which the axes get lines, labels and ticks; horizontal values only where their
// pixel lies within the plot. An increment that is not positive gives no values (a tick
// increment falls back to half the label increment), and no axis gets more than 10000 steps.
std::vector<double> DepthLabelValues(const ProfileLayout& layout, double increment);
std::vector<double> DepthTickValues(const ProfileLayout& layout, double increment);
std::vector<double> DblLabelValues(const ProfileLayout& layout, double increment);
std::vector<double> DblTickValues(const ProfileLayout& layout, double labelIncrement,
                                  double tickIncrement);

}  // namespace fluvex
