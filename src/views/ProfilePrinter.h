#pragma once

// Prints every loaded line's section, NRows x NCols to a page, with the colour bar of each
// section or one shared by the page.

#include <vector>

#include "project/ProfileScales.h"

class QPagedPaintDevice;

namespace fluvex {

class Database;

// Where each line goes on the pages of a print.
struct PrintPlan {
    struct Cell {
        int page = 0;
        int line = 0;
        PixelRect rect;
    };
    int pages = 0;
    std::vector<Cell> cells;
    PixelRect sharedColourBar;  // horizontal on portrait pages, vertical on landscape ones
    bool portrait = true;
};

// Where each line goes: NRows x NCols cells of the usable area with 50-pixel gaps, the shared
// colour bar below it (portrait, `pageHeight` >= `pageWidth`) or right of it (landscape). No
// pages and no cells for row or column counts under 1 or no lines.
PrintPlan PlanPrint(int pageWidth, int pageHeight, int rows, int columns, int lineCount, int band);

// Prints every line onto `device` (a QPrinter or a QPdfWriter), a new page per plan page.
// False when no line is loaded or the device cannot be painted on.
bool PrintProfiles(QPagedPaintDevice& device, Database& database);

}  // namespace fluvex
