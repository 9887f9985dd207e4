#include "project/ProfileScales.h"
#include "project/SettingsOptions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <span>

#include "model/EnsembleQuantities.h"
#include "project/Database.h"
#include "services/CurrentColourTable.h"
#include "settings/Settings.h"

namespace fluvex {
namespace {

// Where automatic ranges start: any real value replaces them.
// A time axis without a second time still gets a span to draw in.
constexpr double kTimeSpanWithoutEnd = 1000;
// More axis values than any surface has pixels: a tiny or absurd increment typed in the settings
// must not stall the drawing.
constexpr int kMaxAxisSteps = 10000;

// Whole pixels, truncated toward zero. Far-off values stop well inside the int range so that
// callers can still add and subtract pixels; an empty range (NaN) maps to the plot's edge.
int ToPixel(double position, int edge) {
    if (std::isnan(position)) return edge;
    constexpr double limit = std::numeric_limits<int>::max() / 4;
    return static_cast<int>(std::clamp(position, -limit, limit));
}

void LayOutRectangles(ProfileLayout& layout, const PixelRect& target, bool printing) {
    const Settings& settings = AppSettings();
    const int d = layout.text.digitWidth;
    const int w5 = layout.text.labelWidth;
    const int h = layout.text.textHeight;
    const auto [left, top, right, bottom] = target;

    layout.colourBar = {right - d - layout.colourBarBand - w5, top + d, right - d, bottom - d};

    PixelRect& plot = layout.plot;
    plot.left = left + d + (settings.DepthLabels ? w5 + h : 0);
    plot.right = right - d;
    // On paper a bar for the unscaled table is shared by the whole page, not drawn per line.
    if (settings.ShowColorBar && (!printing || settings.AutoScaleColors != 0))
        plot.right = layout.colourBar.left - d;
    plot.top = top + 2 * d + 2 * h;
    plot.bottom = bottom - 2 * d - h - (settings.DBLLabels ? 2 * h : 0);

    layout.header = {plot.left, top + d, plot.right, top + d + 2 * h};
    layout.footer = {plot.left, bottom - d - h, plot.right, bottom - d};
}

void ScaleColoursToLine(Database& database, int line) {
    if (AppSettings().AutoScaleColors == 1) ScaleColoursForChoice(database, line, 1);
}

}  // namespace

void ScaleColoursForChoice(Database& database, int line, int scalingMode) {
    if (scalingMode == 0 || CurrentVelocityTable() == nullptr) return;
    const std::optional<ValueRange> range =
        scalingMode == 2 ? database.VelocityRangeAll() : database.VelocityRange(line);
    if (range) RescaleVelocityTable(range->minimum, range->maximum);
}

namespace {

// The first ping's time to the last time that is set; pings whose clock was never set read 0.
void TimeRange(std::span<const Ensemble> pings, int timingMode, double& minimum, double& maximum) {
    minimum = pings.empty() ? 0 : EnsembleTimeOf(pings.front(), timingMode);
    // Looked for from the last ping down to the second.
    const auto later = pings.empty() ? pings : pings.subspan(1);
    const auto timed = std::find_if(
        later.rbegin(), later.rend(),
        [timingMode](const Ensemble& ping) { return EnsembleTimeOf(ping, timingMode) != 0; });
    maximum = timed == later.rend() ? 0 : EnsembleTimeOf(*timed, timingMode);
    if (maximum <= minimum) maximum = minimum + kTimeSpanWithoutEnd;
}

void HorizontalRange(ProfileLayout& layout, Database& database, int line) {
    const Settings& settings = AppSettings();
    if (settings.UseTime) {
        TimeRange(database.Ensembles(line), settings.Time_Type(), layout.xMinimum, layout.xMaximum);
        return;
    }
    layout.xMinimum = settings.StartDBL;
    layout.xMaximum = settings.EndDBL;
    const std::optional<ValueRange> distances =
        settings.AutoScaleDBL ? database.DistanceRange(line) : std::nullopt;
    if (distances && distances->minimum != distances->maximum) {
        layout.xMinimum = distances->minimum;
        layout.xMaximum = distances->maximum;
    }
}

void VerticalRange(ProfileLayout& layout, Database& database, int line) {
    const Settings& settings = AppSettings();
    if (!settings.AutoScaleDepth) {
        layout.yMinimum = settings.MinDepth;
        layout.yMaximum = settings.MaxDepth;
        return;
    }
    layout.yMinimum = kRangeStart;
    layout.yMaximum = -kRangeStart;
    const std::optional<ValueRange> depths = database.DepthRange(line);
    if (!depths) return;
    if (depths->maximum > 0 && depths->maximum > layout.yMaximum) layout.yMaximum = depths->maximum;
    if (depths->minimum < layout.yMinimum) layout.yMinimum = depths->minimum;
}

// Values first, first + increment, ... while `within` holds, those `shown` approves. Computed
// from the start rather than summed, so that long axes do not drift.
template <typename Within, typename Shown>
std::vector<double> StepValues(double first, double increment, Within within, Shown shown) {
    std::vector<double> values;
    if (!(increment > 0) || !std::isfinite(increment) || !std::isfinite(first)) return values;
    for (int step = 0; step < kMaxAxisSteps; ++step) {
        const double value = first + step * increment;
        if (!within(value)) break;
        if (shown(value)) values.push_back(value);
    }
    return values;
}

// Horizontal labels run over whole hundreds that enclose the range, whichever way it runs.
struct HundredsSpan {
    double start = 0;
    double end = 0;
};

HundredsSpan DblStepSpan(const ProfileLayout& layout) {
    const auto hundreds = [](double value) { return std::trunc(std::trunc(value) / 100) * 100; };
    const double fromMinimum = hundreds(layout.xMinimum);
    const double toMaximum = hundreds(layout.xMaximum) + 100;
    return {std::min(fromMinimum, toMaximum), std::max(fromMinimum, toMaximum)};
}

bool WithinPlotWidth(const ProfileLayout& layout, double value) {
    const int x = layout.MapX(value);
    return x >= layout.plot.left && x <= layout.plot.right;
}

}  // namespace

int ProfileLayout::MapX(double value) const {
    return ToPixel(plot.left + (value - xMinimum) * xScale, plot.left);
}

int ProfileLayout::MapY(double depth) const {
    return ToPixel(plot.top + (depth - yMinimum) * yScale, plot.top);
}

double ProfileLayout::ValueAtX(int x) const {
    return xMinimum + (x - plot.left) / xScale;
}

double ProfileLayout::DepthAtY(int y) const {
    return yMinimum + (y - plot.top) / yScale;
}

ProfileLayout ComputeProfileLayout(Database& database, int line, const PixelRect& target,
                                   bool printing, const TextMetrics& text) {
    ProfileLayout layout;
    layout.text = text;
    layout.colourBarBand = printing ? kPrintColourBarBand : kScreenColourBarBand;
    LayOutRectangles(layout, target, printing);
    ScaleColoursToLine(database, line);
    HorizontalRange(layout, database, line);
    VerticalRange(layout, database, line);
    // An empty range gives an infinite scale; the mapping and the section cope with it.
    layout.xScale = layout.plot.Width() / (layout.xMaximum - layout.xMinimum);
    layout.yScale = layout.plot.Height() / (layout.yMaximum - layout.yMinimum);
    return layout;
}

double AutoDepthLabelIncrement(double fontPoints, double yScale) {
    // Labels two text heights apart at least, on the 1, 2.5, 5, 10, 25 ... ladder.
    const double needed = 2 * fontPoints / yScale;
    constexpr std::array<double, 3> kLadder{2.5, 2, 2};
    double increment = 1;
    for (std::size_t rung = 0; needed > 1 && increment < needed; rung = (rung + 1) % 3)
        increment *= kLadder[rung];
    return increment;
}

double AutoDblLabelIncrement(double span, bool useTime) {
    span = std::fabs(span);
    if (useTime) return span < 3600 ? 60 : 3600;
    if (!std::isfinite(span)) return 1;
    double increment = 1;
    while (span > 50) {
        span /= 10;
        increment *= 10;
    }
    if (span >= 5 && span < 10) return increment * 2;
    if (span >= 10 && span < 20) return increment * 5;
    return increment;
}

AxisIncrements ApplyAxisIncrements(const ProfileLayout& layout, double fontPoints) {
    Settings& settings = AppSettings();
    if (settings.AutoLabel) {
        settings.DepthLabelInc = AutoDepthLabelIncrement(fontPoints, layout.yScale);
        settings.DepthTicInc = 0.5 * settings.DepthLabelInc;
        settings.DBLLabelInc =
            AutoDblLabelIncrement(layout.xMaximum - layout.xMinimum, settings.UseTime);
        settings.DBLTicInc = 0.5 * settings.DBLLabelInc;
    }
    return {settings.DepthLabelInc, settings.DepthTicInc, settings.DBLLabelInc, settings.DBLTicInc};
}

std::vector<double> DepthLabelValues(const ProfileLayout& layout, double increment) {
    return StepValues(
        std::trunc(layout.yMinimum), increment,
        [&](double depth) { return depth <= layout.yMaximum; },
        [&](double depth) { return depth >= layout.yMinimum; });
}

std::vector<double> DepthTickValues(const ProfileLayout& layout, double increment) {
    return StepValues(
        std::trunc(layout.yMinimum) + increment, increment,
        [&](double depth) { return depth < layout.yMaximum; },
        [&](double depth) { return depth >= layout.yMinimum; });
}

std::vector<double> DblLabelValues(const ProfileLayout& layout, double increment) {
    const HundredsSpan span = DblStepSpan(layout);
    return StepValues(
        span.start, increment, [&](double value) { return value <= span.end; },
        [&](double value) { return WithinPlotWidth(layout, value); });
}

std::vector<double> DblTickValues(const ProfileLayout& layout, double labelIncrement,
                                  double tickIncrement) {
    // A tick increment typed as 0 or less would stall the axis; half the labels' stands in.
    if (!(tickIncrement > 0)) tickIncrement = 0.5 * labelIncrement;
    const HundredsSpan span = DblStepSpan(layout);
    return StepValues(
        span.start + tickIncrement, tickIncrement, [&](double value) { return value <= span.end; },
        [&](double value) { return WithinPlotWidth(layout, value); });
}

}  // namespace fluvex
