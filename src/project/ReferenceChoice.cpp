#include "project/ReferenceChoice.h"

#include <algorithm>
#include <string_view>

#include "model/EnsembleQuantities.h"
#include "processing/VelocityProcessing.h"
#include "project/Database.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

bool AnyLine(Database& database, bool (Database::*has)(int)) {
    for (int line = 0; line < database.LineCount(); ++line)
        if ((database.*has)(line)) return true;
    return false;
}

bool Offers(const std::vector<int>& codes, int code) {
    return std::ranges::find(codes, code) != codes.end();
}

std::string_view VelocityName(int code) {
    switch (code) {
        case kReferenceNone:
            return "None";
        case kReferenceBottomTrack:
            return "Bottom Track";
        default:
            return "Navigation";
    }
}

std::string_view DepthName(int code) {
    switch (code) {
        case kEchoSounderHighDepth:
            return "Depth 1";
        case kEchoSounderLowDepth:
            return "Depth 2";
        case kBottomTrackDepth:
            return "Bottom Track";
        default:
            return "Vertical Beam";
    }
}

std::string Sentence(std::string_view what, std::string_view name, std::string_view why) {
    return std::string(what) + " reference set to " + std::string(name) + ": this survey has no " +
           std::string(why);
}

}  // namespace

OfferedReferences OfferedReferencesOf(Database& database) {
    const bool lineFiles = database.LineFilesForEveryLine();
    OfferedReferences offered;
    offered.navigationFromLineFiles = lineFiles;
    if (lineFiles) offered.depth = {kEchoSounderHighDepth, kEchoSounderLowDepth};
    offered.depth.insert(offered.depth.end(), {kBottomTrackDepth, kVerticalBeamDepth});
    offered.velocity = {kReferenceNone, kReferenceBottomTrack};
    if (lineFiles || AnyLine(database, &Database::HasNavRecordPosition))
        offered.velocity.push_back(kReferenceEditedFile);
    return offered;
}

std::vector<std::string> AlignReferences(Database& database, Settings& settings) {
    std::vector<std::string> changes;
    if (database.LineCount() == 0) return changes;
    const OfferedReferences offered = OfferedReferencesOf(database);
    const bool bottomTrack = AnyLine(database, &Database::HasBottomTrack);

    if (!Offers(offered.depth, settings.BottomTrack())) {
        settings.SetBottomTrack(kBottomTrackDepth);
        changes.push_back(Sentence("Depth", DepthName(kBottomTrackDepth), "sounder depths"));
    }
    const int velocity = settings.VelReference();
    if (!Offers(offered.velocity, velocity)) {
        const int fallback = bottomTrack ? kReferenceBottomTrack : kReferenceNone;
        settings.SetVelReference(fallback);
        changes.push_back(Sentence("Velocity", VelocityName(fallback), "navigation"));
    } else if (velocity == kReferenceBottomTrack && !bottomTrack) {
        settings.SetVelReference(kReferenceNone);
        changes.push_back(Sentence("Velocity", VelocityName(kReferenceNone), "bottom track"));
    }
    return changes;
}

}  // namespace fluvex
