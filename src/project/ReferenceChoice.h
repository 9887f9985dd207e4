#pragma once

// Which depth and velocity references the loaded lines can give, decided from every line, and
// the settings brought in line with it: what the windows show is what the lines are computed
// with.

#include <string>
#include <vector>

namespace fluvex {

class Database;
class Settings;

// The references, as the settings' codes, in the order the windows list them.
struct OfferedReferences {
    std::vector<int> depth;     // BottomTrack codes
    std::vector<int> velocity;  // VelReference codes
    // The navigation reference comes from the suite's line files ("Edited File/GPS") rather
    // than from navigation recorded in the instrument files ("GPS").
    bool navigationFromLineFiles = true;
};

// Sounder depths and line-file navigation need every line to come with its line file; the
// navigation reference needs that or any line with navigation in its instrument file. Before
// anything is loaded every reference is offered.
OfferedReferences OfferedReferencesOf(Database& database);

// A reference the lines cannot give is replaced: a code not offered by the first offered one of
// bottom track, then none (velocity) or bottom track (depth); the bottom-track velocity
// reference by none when no line has bottom track. A reference that some line can give is
// left as it is, whoever chose it. Returns one sentence per change, saying what and why.
std::vector<std::string> AlignReferences(Database& database, Settings& settings);

}  // namespace fluvex
