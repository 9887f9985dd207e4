#pragma once

// The survey suite's navigation merged into a line's pings by time, and the planned line read
// from the suite's line files.
//
// Pings are matched by their time tag (seconds of day), whatever the timing option: the suite
// stamped that field when it logged the ping, on the same clock as its navigation.

#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "model/Ensemble.h"
#include "model/PlannedLine.h"
#include "services/NavigationFix.h"

namespace fluvex {

class CRDIReader;
class EditedFile;
class UserPrompt;

// Pairs further apart than this around a ping are not interpolated across.
inline constexpr double kNavigationWindowS = 60.0;

// One navigation record per ping, in the pings' order, from fixes in time order. A ping is
// matched when a fix lies at its time, or when the fix before it lies less than the window
// before it and the fix after it at or after it; the values are interpolated linearly between
// the two (headings along the shorter arc, then less `headingOffset`), the course and speed are
// those from the earlier to the later fix, and the distance is measured from the first fix.
// Pings with a time of day of 0, or outside the fixes, get a cleared record.
std::vector<NavRecord> MergeFixes(std::span<const Ensemble> pings,
                                  std::span<const NavigationFix> fixes, double headingOffset);

// The navigation of an edited file (.kq2), opened from `editedFile`, merged into the reader's
// pings. False when the file does not exist (silently) or holds no usable navigation (said
// through `prompt`); the pings then keep what they had.
bool MergeEditedFileNavigation(CRDIReader& reader, const EditedFile& file,
                               const std::filesystem::path& editedFile, double headingOffset,
                               UserPrompt& prompt);
// The same for a raw line file of the suite.
bool MergeRawLineFileNavigation(CRDIReader& reader, const std::filesystem::path& lineFile,
                                double headingOffset, UserPrompt& prompt);

// The planned line of an edited file: its first line record, or, without one, a polyline through
// at most 128 of its usable navigation fixes. Empty when there is neither.
PlannedLine PlannedLineFromEditedFile(const EditedFile& file);
// The planned line of a raw line file; nothing when the file cannot be read.
std::optional<PlannedLine> PlannedLineFromRawLineFile(const std::filesystem::path& lineFile);

}  // namespace fluvex
