#pragma once

// Draws a line's velocity section on any QPainter (the screen, a printer page, an image): the
// header, the footer, the section with its bed line, depth lines, labels, ticks and axis titles,
// and the colour bar, in the rectangles of the line's layout.

#include <Qt>

#include "project/ProfileScales.h"

class QFontMetrics;
class QPainter;

namespace fluvex {

class Database;

// The text sizes the layout is measured in, for the painter's font on its device.
TextMetrics MeasureText(const QFontMetrics& metrics);

// Fills the layout's whole area white and draws header, footer, section and, when
// `withColourBar`, the colour bar in the layout's colour-bar rectangle (vertical).
void PaintProfile(QPainter& painter, Database& database, int line, const ProfileLayout& layout,
                  bool withColourBar);

// The colour bar of the shown component (direction table for directions, else the velocity
// table): the no-data swatch, the gradient from minimum to maximum with its unit and labels.
// Vertical bars run from the minimum at the top; horizontal ones (portrait pages) from the left.
void PaintColourBar(QPainter& painter, const PixelRect& rect, const TextMetrics& text, int band,
                    Qt::Orientation orientation);

}  // namespace fluvex
