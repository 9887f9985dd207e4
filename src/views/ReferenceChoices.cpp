#include "views/ReferenceChoices.h"

#include <QObject>

#include "project/Database.h"
#include "project/ReferenceChoice.h"
#include "views/ViewText.h"

namespace fluvex {

namespace {

constexpr int kGpsReferenceTextId = 7211;

QString DepthCaption(int code) {
    switch (code) {
        case kDepth1:
            return QObject::tr("Depth 1 (Hi Freq)");
        case kDepth2:
            return QObject::tr("Depth 2 (Low Freq)");
        case kBottomTrackDepthCode:
            return QObject::tr("ADCP Bottom Track");
        default:
            return QObject::tr("Vertical Beam");
    }
}

QString VelocityCaption(int code, bool navigationFromLineFiles) {
    switch (code) {
        case kNoReference:
            return QObject::tr("None");
        case kBottomTrackReference:
            return QObject::tr("ADCP Bottom Track");
        default:
            return navigationFromLineFiles ? QObject::tr("Edited File/GPS")
                                           : Text(kGpsReferenceTextId, "GPS");
    }
}

}  // namespace

std::vector<CodedRadioGroup::Item> DepthReferenceItems() {
    std::vector<CodedRadioGroup::Item> items;
    for (const int code : OfferedReferencesOf(AppDatabase()).depth)
        items.push_back({DepthCaption(code), code});
    return items;
}

std::vector<CodedRadioGroup::Item> VelocityReferenceItems() {
    const OfferedReferences offered = OfferedReferencesOf(AppDatabase());
    std::vector<CodedRadioGroup::Item> items;
    for (const int code : offered.velocity)
        items.push_back({VelocityCaption(code, offered.navigationFromLineFiles), code});
    return items;
}

}  // namespace fluvex
