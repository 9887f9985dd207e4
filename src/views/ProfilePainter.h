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

// The same with the section's cells computed at one image pixel per `sectionPixelSize` device
// pixels and scaled up: on paper at printer resolution a plot-sized image would run to hundreds of
// megabytes for no visible gain. Lines, bed and text keep the device's resolution.
void PaintProfile(QPainter& painter, Database& database, int line, const ProfileLayout& layout,
                  bool withColourBar, int sectionPixelSize);

// The colour bar of the shown component (direction table for directions, else the velocity
// table): the no-data swatch, the gradient from minimum to maximum with its unit and labels.
// Vertical bars run from the minimum at the top; horizontal ones (portrait pages) from the left.
// Nothing is drawn without a velocity table or in a rectangle under 2 pixels either way.
void PaintColourBar(QPainter& painter, const PixelRect& rect, const TextMetrics& text, int band,
                    Qt::Orientation orientation);

}  // namespace fluvex
