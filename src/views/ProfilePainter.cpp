#include "views/ProfilePainter.h"

#include <QColor>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPolygon>

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/DirectionColourTable.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/ProfileSection.h"
#include "services/CurrentColourTable.h"
#include "settings/Settings.h"
#include "views/ViewColour.h"
#include "views/ViewText.h"

namespace fluvex {
namespace {

constexpr int kDepthCaptionId = 1533;
constexpr int kDblCaptionId = 1487;
constexpr int kTimeCaptionId = 2915;
constexpr int kNoDataCaptionId = 12541;

constexpr int kTickLength = 5;
constexpr int kDepthTitleGap = 5;

// --- Text ---

int TextWidth(const QPainter& painter, const QString& text) {
    return painter.fontMetrics().horizontalAdvance(text);
}

int TextHeight(const QPainter& painter) {
    return painter.fontMetrics().height();
}

// Text placed by its top-left corner, as the layout measures it, not by its baseline.
void DrawText(QPainter& painter, int left, int top, const QString& text) {
    painter.drawText(left, top + painter.fontMetrics().ascent(), text);
}

enum class Align { Start, Centre, End };

int AlignedStart(int at, int extent, Align align) {
    switch (align) {
        case Align::Start:
            return at;
        case Align::Centre:
            return at - extent / 2;
        case Align::End:
            return at - extent;
    }
    return at;
}

void DrawAligned(QPainter& painter, int x, int top, Align align, const QString& text) {
    DrawText(painter, AlignedStart(x, TextWidth(painter, text), align), top, text);
}

// Text turned about `anchor` by `degrees` clockwise: at -90 it reads upward with its top facing
// left and occupies (x .. x + height, y - width .. y); at 90 it reads downward with its top
// facing right and occupies (x - height .. x, y .. y + width).
void DrawTurnedText(QPainter& painter, QPoint anchor, int degrees, const QString& text) {
    painter.save();
    painter.translate(anchor);
    painter.rotate(degrees);
    DrawText(painter, 0, 0, text);
    painter.restore();
}

// Where a label lies along its axis, in pixels.
struct LabelExtent {
    int from = 0;
    int to = 0;
};

bool Overlap(const LabelExtent& a, const LabelExtent& b, int gap) {
    return a.from < b.to + gap && b.from < a.to + gap;
}

// Every how many labels one is drawn: the smallest stride that keeps the drawn ones `gap` apart,
// so that hand-set increments or a dense time axis thin out evenly instead of printing over
// each other.
std::size_t LabelStride(const std::vector<LabelExtent>& extents, int gap) {
    for (std::size_t stride = 1; stride < extents.size(); ++stride) {
        bool clear = true;
        for (std::size_t i = 0; clear && i + stride < extents.size(); i += stride)
            clear = !Overlap(extents[i], extents[i + stride], gap);
        if (clear) return stride;
    }
    return std::max<std::size_t>(extents.size(), 1);
}

// Text wider than its room is set in a smaller font, down to 60 %.
constexpr double kSmallestFontShare = 0.6;

void ShrinkFontToFit(QPainter& painter, int width, int room) {
    if (width <= room || room <= 0) return;
    QFont font = painter.font();
    const double share = std::max(kSmallestFontShare, static_cast<double>(room) / width);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * share);
    else
        font.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * share)));
    painter.setFont(font);
}

// A caption longer than its room is set smaller, then cut short.
QString FitCaption(QPainter& painter, const QString& text, int room) {
    ShrinkFontToFit(painter, TextWidth(painter, text), room);
    return painter.fontMetrics().elidedText(text, Qt::ElideRight, room);
}

// Texts along one row between `from` and `to`, each as near its wanted centre as the texts
// before it and the end of the row allow, `gap` apart; one with no room left is not drawn rather
// than drawn over another.
void DrawSpacedRow(QPainter& painter, int top, int from, int to, int gap,
                   std::span<const std::pair<QString, int>> textsAndCentres) {
    for (const auto& [text, centre] : textsAndCentres) {
        const int width = TextWidth(painter, text);
        const int left = std::max(std::min(centre - width / 2, to - width), from);
        if (left + width > to) continue;
        DrawText(painter, left, top, text);
        from = left + width + gap;
    }
}

int SumOfWidths(const QPainter& painter, std::span<const QString> texts, int gap) {
    int sum = 0;
    for (const QString& text : texts)
        sum += TextWidth(painter, text) + gap;
    return sum;
}

QRect ToQRect(const PixelRect& rect) {
    return QRect(QPoint(rect.left, rect.top), QPoint(rect.right, rect.bottom));
}

void DrawOutline(QPainter& painter, const QRect& rect) {
    const QPoint corners[] = {rect.topLeft(), rect.topRight(), rect.bottomRight(),
                              rect.bottomLeft(), rect.topLeft()};
    painter.drawPolyline(corners, 5);
}

// The target rectangle the layout was computed for: every rectangle of the layout keeps one
// digit width from its edges, the plot also the room of the depth labels and their title.
PixelRect LayoutArea(const ProfileLayout& layout) {
    const TextMetrics& text = layout.text;
    const int depthLabelRoom = AppSettings().DepthLabels ? text.labelWidth + text.textHeight : 0;
    return {layout.plot.left - text.digitWidth - depthLabelRoom,
            layout.header.top - text.digitWidth, layout.colourBar.right + text.digitWidth,
            layout.colourBar.bottom + text.digitWidth};
}

bool IsDrawable(const PixelRect& rect) {
    return rect.Width() >= 2 && rect.Height() >= 2;
}

// --- Header and footer ---

// The line's first position at the left, its last at the right, and between them, centred at
// the quarters, its name, length and azimuth. On a narrow plot the row is set smaller, and what
// still has no room gives way sideways or is left out rather than written over the positions.
void PaintHeader(QPainter& painter, Database& database, int line, const ProfileLayout& layout) {
    const ProfileHeaderText header = ProfileHeader(database, line);
    const PixelRect& rect = layout.header;
    const int gap = layout.text.digitWidth;
    const std::array<QString, 7> texts{
        ToQString(header.firstEasting), ToQString(header.firstNorthing),
        ToQString(header.lastEasting),  ToQString(header.lastNorthing),
        ToQString(header.name),         ToQString(header.length),
        ToQString(header.azimuth)};
    painter.save();
    const auto widest = [&painter](const QString& a, const QString& b) {
        return std::max(TextWidth(painter, a), TextWidth(painter, b));
    };
    ShrinkFontToFit(painter,
                    widest(texts[0], texts[1]) + widest(texts[2], texts[3]) + 2 * gap +
                        SumOfWidths(painter, std::span(texts).subspan(4), gap),
                    rect.Width());
    const int rowHeight = TextHeight(painter);
    DrawText(painter, rect.left, rect.top, texts[0]);
    DrawText(painter, rect.left, rect.top + rowHeight, texts[1]);
    const int lastLeft = rect.right - widest(texts[2], texts[3]);
    DrawText(painter, lastLeft, rect.top, texts[2]);
    DrawText(painter, lastLeft, rect.top + rowHeight, texts[3]);

    const int quarter = rect.Width() / 4;
    const std::pair<QString, int> middle[] = {{texts[4], rect.left + quarter},
                                              {texts[5], rect.left + 2 * quarter},
                                              {texts[6], rect.left + 3 * quarter}};
    DrawSpacedRow(painter, rect.top, rect.left + TextWidth(painter, texts[0]) + gap, lastLeft - gap,
                  gap, middle);
    painter.restore();
}

// The four discharge figures: the first at the left, the last at the right, the others centred
// at the thirds; on a narrow plot set smaller, and the middle ones moved apart or left out
// rather than written over the others.
void PaintFooter(QPainter& painter, Database& database, int line, const ProfileLayout& layout) {
    const std::vector<std::string> figures = ProfileFooter(database, line);
    if (figures.size() < 2) return;
    const PixelRect& rect = layout.footer;
    const int gap = layout.text.digitWidth;
    std::vector<QString> texts;
    for (const std::string& figure : figures)
        texts.push_back(ToQString(figure));
    painter.save();
    ShrinkFontToFit(painter, SumOfWidths(painter, texts, gap) - gap, rect.Width());
    const int top = rect.bottom - layout.text.textHeight;
    DrawText(painter, rect.left, top, texts.front());
    const int lastLeft = rect.right - TextWidth(painter, texts.back());
    DrawText(painter, lastLeft, top, texts.back());
    const int third = rect.Width() / 3;
    std::vector<std::pair<QString, int>> middle;
    for (std::size_t i = 1; i + 1 < texts.size(); ++i)
        middle.emplace_back(texts[i], rect.left + static_cast<int>(i) * third);
    DrawSpacedRow(painter, top, rect.left + TextWidth(painter, texts.front()) + gap, lastLeft - gap,
                  gap, middle);
    painter.restore();
}

// --- Section ---

// The pen styles of the settings file, in their numbering.
Qt::PenStyle PenStyleOf(int code) {
    switch (code) {
        case 1:
            return Qt::DashLine;
        case 2:
            return Qt::DotLine;
        case 3:
            return Qt::DashDotLine;
        case 4:
            return Qt::DashDotDotLine;
        case 5:
            return Qt::NoPen;
        default:
            return Qt::SolidLine;
    }
}

// The layout of an image `pixelSize` times coarser than the plot, placed at (0, 0), so that
// the section walk fills that image instead.
ProfileLayout CoarseLayout(const ProfileLayout& layout, int pixelSize) {
    ProfileLayout coarse = layout;
    const int width = layout.plot.Width() / pixelSize;
    const int height = layout.plot.Height() / pixelSize;
    coarse.plot = {0, 0, width, height};
    coarse.xScale = layout.xScale * width / layout.plot.Width();
    coarse.yScale = layout.yScale * height / layout.plot.Height();
    return coarse;
}

void DrawSectionImage(QPainter& painter, const SectionImage& section, const PixelRect& plot) {
    if (section.width <= 0 || section.height <= 0) return;
    const auto pixelCount =
        static_cast<std::size_t>(section.width) * static_cast<std::size_t>(section.height);
    if (section.pixels.size() < pixelCount) return;
    // The pixels stay the section's: the image only looks at them while it is drawn.
    const QImage image(reinterpret_cast<const uchar*>(section.pixels.data()), section.width,
                       section.height, static_cast<qsizetype>(section.width) * 4,
                       QImage::Format_RGB32);
    const QRect target = ToQRect(plot).adjusted(0, 0, -1, -1);
    if (target.size() == image.size())
        painter.drawImage(target.topLeft(), image);
    else
        painter.drawImage(target, image);
}

void DrawBed(QPainter& painter, const SectionImage& section, const ProfileLayout& drawn,
             const PixelRect& plot) {
    if (!section.bedVisible || section.bed.empty()) return;
    // Bed points of a coarse section are in its image's pixels; stretch them onto the plot.
    const double xStretch = static_cast<double>(plot.Width()) / std::max(drawn.plot.Width(), 1);
    const double yStretch = static_cast<double>(plot.Height()) / std::max(drawn.plot.Height(), 1);
    QPolygon points;
    points.reserve(static_cast<qsizetype>(section.bed.size()));
    for (const PixelPoint& point : section.bed)
        points << QPoint(plot.left + static_cast<int>((point.x - drawn.plot.left) * xStretch),
                         plot.top + static_cast<int>((point.y - drawn.plot.top) * yStretch));
    QPen pen(QColor::fromRgba(section.bedColour));
    pen.setWidth(std::max(section.bedPenWidth, 0));
    pen.setStyle(PenStyleOf(section.bedPenStyle));
    painter.setPen(pen);
    painter.drawPolyline(points);
}

void PaintSection(QPainter& painter, Database& database, int line, const ProfileLayout& layout,
                  int pixelSize) {
    const ProfileLayout drawn = pixelSize > 1 ? CoarseLayout(layout, pixelSize) : layout;
    const SectionImage section = RenderSection(database, line, drawn);
    DrawSectionImage(painter, section, layout.plot);
    DrawBed(painter, section, drawn, layout.plot);
}

// --- Axes ---

double FontPoints(const QPainter& painter) {
    return QFontInfo(painter.font()).pointSizeF();
}

QString DistanceText(double value) {
    return ToQString(Units().FormatDistance(value));
}

QString HorizontalText(double value) {
    return ToQString(AppSettings().UseTime ? FormatTimeOfDay(value)
                                           : Units().FormatDistance(value));
}

void PaintDepthLines(QPainter& painter, const ProfileLayout& layout, double increment) {
    const PixelRect& plot = layout.plot;
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.setBackgroundMode(Qt::TransparentMode);
    for (const double depth : DepthLabelValues(layout, increment)) {
        const int y = layout.MapY(depth);
        painter.drawLine(plot.left, y, plot.right, y);
    }
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
}

// Labels of the values along one axis, thinned to a stride that keeps them apart. `place` gives
// a label's extent along the axis from its text; `draw` draws it there.
template <typename Format, typename Place, typename Draw>
void PaintAxisLabels(const std::vector<double>& values, int gap, Format format, Place place,
                     Draw draw) {
    std::vector<QString> texts;
    std::vector<LabelExtent> extents;
    for (const double value : values) {
        texts.push_back(format(value));
        extents.push_back(place(value, texts.back()));
    }
    const std::size_t stride = LabelStride(extents, gap);
    for (std::size_t i = 0; i < values.size(); i += stride)
        draw(texts[i], extents[i]);
}

Align AlignAtRange(double value, double minimum, double maximum) {
    if (value == minimum) return Align::Start;
    return value == maximum ? Align::End : Align::Centre;
}

// Right-aligned a pixel left of the plot: at the range's top a label hangs below its line, at
// its bottom it stands on it, elsewhere it is centred on it.
void PaintDepthLabels(QPainter& painter, const ProfileLayout& layout, double increment) {
    const int height = TextHeight(painter);
    const auto place = [&](double depth, const QString&) {
        const Align align = AlignAtRange(depth, layout.yMinimum, layout.yMaximum);
        const int top = AlignedStart(layout.MapY(depth), height, align);
        return LabelExtent{top, top + height};
    };
    const auto draw = [&](const QString& text, const LabelExtent& extent) {
        DrawText(painter, layout.plot.left - TextWidth(painter, text) - 1, extent.from, text);
    };
    PaintAxisLabels(DepthLabelValues(layout, increment), 0, DistanceText, place, draw);
}

// Below the plot: at the range's start a label starts at its x, at its end it ends there,
// elsewhere it is centred on it.
void PaintHorizontalLabels(QPainter& painter, const ProfileLayout& layout, double increment) {
    const auto place = [&](double value, const QString& text) {
        const int width = TextWidth(painter, text);
        const Align align = AlignAtRange(value, layout.xMinimum, layout.xMaximum);
        const int left = AlignedStart(layout.MapX(value), width, align);
        return LabelExtent{left, left + width};
    };
    const auto draw = [&](const QString& text, const LabelExtent& extent) {
        DrawText(painter, extent.from, layout.plot.bottom, text);
    };
    PaintAxisLabels(DblLabelValues(layout, increment), layout.text.digitWidth, HorizontalText,
                    place, draw);
}

QString DepthTitle() {
    return QString("%1 (%2)").arg(Text(kDepthCaptionId, "Depth"),
                                  ToQString(Units().DistanceLabel()));
}

QString HorizontalTitle() {
    if (AppSettings().UseTime) return Text(kTimeCaptionId, "Time");
    return QString("%1 (%2)").arg(Text(kDblCaptionId, "DBL"), ToQString(Units().DistanceLabel()));
}

// Centred on the plot's height, reading upward, left of the depth labels.
void PaintDepthTitle(QPainter& painter, const ProfileLayout& layout) {
    const PixelRect& plot = layout.plot;
    const QString title = DepthTitle();
    const int x = plot.left - kDepthTitleGap - TextHeight(painter) - layout.text.labelWidth;
    const int y = plot.top + TextWidth(painter, title) / 2 + plot.Height() / 2;
    DrawTurnedText(painter, QPoint(x, y), -90, title);
}

// Centred under the plot, below the row of horizontal labels.
void PaintHorizontalTitle(QPainter& painter, const ProfileLayout& layout) {
    const PixelRect& plot = layout.plot;
    DrawAligned(painter, plot.left + plot.Width() / 2, plot.bottom + TextHeight(painter),
                Align::Centre, HorizontalTitle());
}

void PaintTicks(QPainter& painter, const ProfileLayout& layout, const AxisIncrements& increments) {
    const PixelRect& plot = layout.plot;
    for (const double value : DblTickValues(layout, increments.dblLabel, increments.dblTick)) {
        const int x = layout.MapX(value);
        painter.drawLine(x, plot.top, x, plot.top + kTickLength);
        painter.drawLine(x, plot.bottom - 1, x, plot.bottom - 1 - kTickLength);
    }
    for (const double depth : DepthTickValues(layout, increments.depthTick)) {
        const int y = layout.MapY(depth);
        painter.drawLine(plot.left, y, plot.left + kTickLength, y);
        painter.drawLine(plot.right - 1, y, plot.right - 1 - kTickLength, y);
    }
}

// Each title goes with its labels: the layout leaves room for a title only where the labels are.
void PaintAxes(QPainter& painter, const ProfileLayout& layout) {
    const Settings& settings = AppSettings();
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    const AxisIncrements increments = ApplyAxisIncrements(layout, FontPoints(painter));
    if (settings.DepthLines) PaintDepthLines(painter, layout, increments.depthLabel);
    if (settings.DepthLabels) {
        PaintDepthLabels(painter, layout, increments.depthLabel);
        PaintDepthTitle(painter, layout);
    }
    if (settings.DBLLabels) {
        PaintHorizontalLabels(painter, layout, increments.dblLabel);
        PaintHorizontalTitle(painter, layout);
    }
    PaintTicks(painter, layout, increments);
    DrawOutline(painter, ToQRect(layout.plot));
}

// --- Colour bar ---

ColourLookup& DirectionTable() {
    static DirectionColourTable table;
    return table;
}

// The colour bar is laid out once along its length ("along", from the minimum end) and across
// it ("across", from the band's edge); this maps those onto the page for either orientation.
class BarFrame {
public:
    BarFrame(QPainter& painter, const PixelRect& rect, Qt::Orientation orientation)
        : painter_(painter), rect_(rect), vertical_(orientation == Qt::Vertical) {}

    int Length() const { return vertical_ ? rect_.Height() : rect_.Width(); }

    void Fill(int alongFrom, int alongTo, int acrossFrom, int acrossTo, const QColor& colour) {
        painter_.fillRect(Rect(alongFrom, alongTo, acrossFrom, acrossTo), colour);
    }
    void Outline(int alongFrom, int alongTo, int acrossFrom, int acrossTo) {
        DrawOutline(painter_, Rect(alongFrom, alongTo, acrossFrom, acrossTo));
    }
    // Text whose top (vertical bar) or left (horizontal bar, turned to read downward) edge is
    // at `along`.
    void Write(int along, int across, const QString& text) {
        if (vertical_)
            DrawText(painter_, rect_.left + across, rect_.top + along, text);
        else
            DrawTurnedText(painter_,
                           QPoint(rect_.left + along + TextHeight(painter_), rect_.top + across),
                           90, text);
    }
    void WriteOnWhite(int along, int across, const QString& text) {
        const int length = TextWidth(painter_, text);
        Fill(along, along + TextHeight(painter_) - 1, across, across + length - 1, Qt::white);
        Write(along, across, text);
    }

private:
    QRect Rect(int alongFrom, int alongTo, int acrossFrom, int acrossTo) const {
        if (vertical_)
            return QRect(QPoint(rect_.left + acrossFrom, rect_.top + alongFrom),
                         QPoint(rect_.left + acrossTo, rect_.top + alongTo));
        return QRect(QPoint(rect_.left + alongFrom, rect_.top + acrossFrom),
                     QPoint(rect_.left + alongTo, rect_.top + acrossTo));
    }

    QPainter& painter_;
    PixelRect rect_;
    bool vertical_;
};

void PaintBarLabels(QPainter& painter, BarFrame& bar, int from, int to, int across, double minimum,
                    double maximum) {
    const int height = TextHeight(painter);
    const auto label = [](double value) {
        return ToQString(Units().FormatVelocity(value, AppSettings().Velocity()));
    };
    bar.Write(from, across, label(minimum));
    bar.Write(from + (to - from) / 2 - height / 2, across, label((minimum + maximum) * 0.5));
    bar.Write(to - height, across, label(maximum));
}

// The swatch of cells without a value, black, with its caption beside it.
void PaintNoDataSwatch(QPainter& painter, BarFrame& bar, int textHeight, int band, int captionRoom,
                       int gap) {
    bar.Fill(0, textHeight, 0, band, Qt::black);
    painter.save();
    const QString caption = Text(kNoDataCaptionId, "No Data");
    bar.WriteOnWhite(0, band + gap,
                     captionRoom > 0 ? FitCaption(painter, caption, captionRoom) : caption);
    painter.restore();
}

// The velocity unit at the far end, off the band's middle toward the labels; returns where the
// gradient must end to leave it room.
int PaintUnitAtEnd(QPainter& painter, BarFrame& bar, int band) {
    const QString unit = ToQString(Units().VelocityLabel());
    const int end = bar.Length() - TextHeight(painter);
    bar.Write(end, band / 2 + TextWidth(painter, unit) / 2, unit);
    return end;
}

// One strip per pixel from the minimum's colour to the maximum's, outlined.
void PaintGradient(BarFrame& bar, ColourLookup& table, int from, int to, int band) {
    const ColourTableProperties& range = table.Properties();
    const int steps = to - from;
    for (int i = 0; i < steps; ++i) {
        const double value = range.minimum + i * (range.maximum - range.minimum) / steps;
        bar.Fill(from + i, from + i, 0, band, ToQColor(table.Colour(value)));
    }
    bar.Outline(from, to, 0, band);
}

}  // namespace

TextMetrics MeasureText(const QFontMetrics& metrics) {
    return {metrics.horizontalAdvance(QStringLiteral("0")),
            metrics.horizontalAdvance(QStringLiteral("00000")), metrics.height()};
}

void PaintProfile(QPainter& painter, Database& database, int line, const ProfileLayout& layout,
                  bool withColourBar) {
    PaintProfile(painter, database, line, layout, withColourBar, 1);
}

void PaintProfile(QPainter& painter, Database& database, int line, const ProfileLayout& layout,
                  bool withColourBar, int sectionPixelSize) {
    painter.save();
    // Crisp one-pixel lines and cell edges; smooth text.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.fillRect(ToQRect(LayoutArea(layout)), Qt::white);
    if (line >= 0 && line < database.LineCount()) {
        painter.setPen(Qt::black);
        PaintHeader(painter, database, line, layout);
        PaintFooter(painter, database, line, layout);
        if (IsDrawable(layout.plot)) {
            PaintSection(painter, database, line, layout, std::max(sectionPixelSize, 1));
            PaintAxes(painter, layout);
        }
        if (withColourBar)
            PaintColourBar(painter, layout.colourBar, layout.text, layout.colourBarBand,
                           Qt::Vertical);
    }
    painter.restore();
}

void PaintColourBar(QPainter& painter, const PixelRect& rect, const TextMetrics& text, int band,
                    Qt::Orientation orientation) {
    const bool angles = IsAngleQuantity(AppSettings().Velocity());
    ColourLookup* table = angles ? &DirectionTable() : CurrentVelocityTable();
    if (table == nullptr || !IsDrawable(rect)) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    BarFrame bar(painter, rect, orientation);
    const int gap = text.digitWidth;
    // Beside a vertical bar the caption has the label column and the margin beyond it.
    const int captionRoom = orientation == Qt::Vertical ? rect.Width() - band : 0;
    PaintNoDataSwatch(painter, bar, text.textHeight, band, captionRoom, gap);

    const int from = text.textHeight + gap;
    int to = bar.Length();
    if (!angles) to = PaintUnitAtEnd(painter, bar, band);
    if (to > from) {
        const ColourTableProperties& range = table->Properties();
        PaintGradient(bar, *table, from, to, band);
        PaintBarLabels(painter, bar, from, to, band + gap, range.minimum, range.maximum);
    }
    painter.restore();
}

}  // namespace fluvex
