#include "views/ProfilePrinter.h"

#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

#include "project/Database.h"
#include "settings/Settings.h"
#include "views/ProfilePainter.h"

namespace fluvex {
namespace {

constexpr int kCellGap = 50;
// Cells are computed at no more than this many image pixels per inch; finer adds only bytes.
constexpr int kSectionDotsPerInch = 300;

struct UsableArea {
    int marginX = 0;
    int marginY = 0;
    int width = 0;   // right edge of the usable area
    int height = 0;  // bottom edge of the usable area
};

UsableArea UsableAreaOf(int pageWidth, int pageHeight, bool portrait) {
    UsableArea area;
    area.marginX = static_cast<int>(0.05 * pageWidth);
    area.marginY = static_cast<int>(0.05 * pageHeight);
    // The shared colour bar takes the bottom of a portrait page and the right of a landscape one.
    area.width = portrait ? pageWidth - area.marginX : static_cast<int>(0.85 * pageWidth);
    area.height = portrait ? static_cast<int>(0.85 * pageHeight) : pageHeight - area.marginY;
    return area;
}

PixelRect SharedBarRect(const UsableArea& area, bool portrait, int band) {
    if (portrait) return {area.marginX, area.height + 2 * band, area.width, area.height + 3 * band};
    return {area.width + 2 * band, area.marginY, area.width + 3 * band, area.height};
}

int SectionPixelSize(const QPagedPaintDevice& device) {
    return std::max(1, device.logicalDpiX() / kSectionDotsPerInch);
}

}  // namespace

PrintPlan PlanPrint(int pageWidth, int pageHeight, int rows, int columns, int lineCount, int band) {
    PrintPlan plan;
    plan.portrait = pageHeight >= pageWidth;
    const UsableArea area = UsableAreaOf(pageWidth, pageHeight, plan.portrait);
    plan.sharedColourBar = SharedBarRect(area, plan.portrait, band);
    if (rows < 1 || columns < 1 || lineCount < 1 || pageWidth < 1 || pageHeight < 1) return plan;

    // Wide enough for any row and column counts a settings file may hold.
    const long long perPage = static_cast<long long>(rows) * columns;
    plan.pages = static_cast<int>((lineCount + perPage - 1) / perPage);
    const int cellWidth = (area.width - area.marginX) / columns;
    const int cellHeight = (area.height - area.marginY) / rows;
    for (int line = 0; line < lineCount; ++line) {
        const auto onPage = static_cast<int>(line % perPage);
        const int row = onPage / columns;
        const int column = onPage % columns;
        const int left = area.marginX + column * (cellWidth + kCellGap);
        const int top = area.marginY + row * (cellHeight + kCellGap);
        plan.cells.push_back({static_cast<int>(line / perPage),
                              line,
                              {left, top, left + cellWidth, top + cellHeight}});
    }
    return plan;
}

bool PrintProfiles(QPagedPaintDevice& device, Database& database) {
    if (database.LineCount() < 1) return false;
    QPainter painter;
    if (!painter.begin(&device)) return false;
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    const Settings& settings = AppSettings();
    const TextMetrics text = MeasureText(painter.fontMetrics());
    const int band = kPrintColourBarBand;
    const PrintPlan plan = PlanPrint(device.width(), device.height(), settings.NRows,
                                     settings.NCols, database.LineCount(), band);
    // With scaling per line each section shows its own bar; otherwise one bar serves the page.
    const bool barPerLine = settings.ShowColorBar && settings.AutoScaleColors != 0;
    const bool sharedBar = settings.ShowColorBar && settings.AutoScaleColors == 0;
    const int pixelSize = SectionPixelSize(device);

    auto cell = plan.cells.begin();
    for (int page = 0; page < plan.pages; ++page) {
        if (page > 0) device.newPage();
        for (; cell != plan.cells.end() && cell->page == page; ++cell) {
            const ProfileLayout layout =
                ComputeProfileLayout(database, cell->line, cell->rect, true, text);
            PaintProfile(painter, database, cell->line, layout, barPerLine, pixelSize);
        }
        if (sharedBar)
            PaintColourBar(painter, plan.sharedColourBar, text, band,
                           plan.portrait ? Qt::Horizontal : Qt::Vertical);
    }
    return painter.end();
}

}  // namespace fluvex
