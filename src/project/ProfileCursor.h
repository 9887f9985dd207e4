#pragma once

// What the mouse over a line's velocity section points at, as plain values: the ping nearest a
// horizontal value, the cell under a depth, the texts of the profile's status bar, and which ping
// or cell a delete click takes. The window only turns pixels into values and shows the results.

#include <array>
#include <optional>
#include <span>
#include <string>

#include "model/Ensemble.h"

namespace fluvex {

// The settings' Cursor.
enum CursorMode : int {
    kNormalCursor = 0,
    kBedCursor = 1,  // the horizontal hair follows the bed of the ping under the mouse
    kDeleteCellCursor = 2,
    kDeleteEnsembleCursor = 3,
};

inline constexpr int kStatusPanels = 5;

// The caption of a missing value, by text id.
inline constexpr int kNoDataTextId = 12541;

// A ping's value on the section's horizontal axis: distance along line, or time in seconds.
double HorizontalValue(const Ensemble& ping, bool useTime);

// The index of the ping whose horizontal value is nearest to `value`, the earliest of equals;
// nothing for a line without pings. Times need not be sorted.
std::optional<int> NearestPing(std::span<const Ensemble> pings, double value, bool useTime);

// Depth of the top of the ping's first cell, display distance unit.
double FirstCellTop(const Ensemble& ping);

// The cell holding `depth` when it lies below the top of the first cell and above `bedDepth`.
// Below the last cell's top the last cell holds it, as far as that cell reaches; nothing below
// that, nor for a ping without cells.
std::optional<int> CellUnderDepth(const Ensemble& ping, double depth, double bedDepth);

// What one mouse position puts in the status bar and hands on.
struct CursorReading {
    // The new text of each panel; a panel without one keeps what it shows.
    std::array<std::optional<std::string>, kStatusPanels> panels;
    std::optional<int> ping;  // index of the ping under the mouse, in its line
    int cell = -1;            // the cell under the mouse in that ping, -1 for none
    double bedDepth = 0.0;    // the bed under the mouse: the ping's, else the one given
};

// Reads the section at horizontal value `value` and depth `depth`: the value and depth, the
// nearest ping's position, and the shown component of the cell under the depth. In bed-cursor
// mode the depth panel shows the bed instead. `lastBedDepth` is the bed of the last reading, kept
// where no ping is found.
CursorReading ReadCursor(std::span<const Ensemble> pings, double value, double depth, bool useTime,
                         int cursorMode, double lastBedDepth);

// The cell a delete-cell click at `depth` takes: one of the cells the section draws, nothing
// above the first cell or below the last drawn one.
std::optional<int> CellToDelete(const Ensemble& ping, double depth);

// The ping a delete-ensemble click at `value` takes: the found ping, or the one before it when
// that one is nearer. Both are measured along the section's own axis: distance along line, or
// time with `useTime`. A value of one axis cannot be compared with a ping's place on the other.
int PingToDelete(std::span<const Ensemble> pings, int found, double value, bool useTime);

}  // namespace fluvex
