#include "views/ReferenceChoices.h"

#include <QObject>

#include "project/Database.h"
#include "views/ViewText.h"

namespace fluvex {

namespace {

constexpr int kGpsReferenceTextId = 7211;

bool EditedFileData() {
    const Database& database = AppDatabase();
    return database.LineCount() == 0 || database.LineFileFlag();
}

}  // namespace

std::vector<CodedRadioGroup::Item> DepthReferenceItems() {
    std::vector<CodedRadioGroup::Item> items;
    if (EditedFileData()) {
        items.push_back({QObject::tr("Depth 1 (Hi Freq)"), kDepth1});
        items.push_back({QObject::tr("Depth 2 (Low Freq)"), kDepth2});
    }
    items.push_back({QObject::tr("ADCP Bottom Track"), kBottomTrackDepthCode});
    items.push_back({QObject::tr("Vertical Beam"), kVerticalBeamCode});
    return items;
}

std::vector<CodedRadioGroup::Item> VelocityReferenceItems() {
    std::vector<CodedRadioGroup::Item> items{
        {QObject::tr("None"), kNoReference},
        {QObject::tr("ADCP Bottom Track"), kBottomTrackReference}};
    if (EditedFileData())
        items.push_back({QObject::tr("Edited File/GPS"), kNavigationReference});
    else if (AppDatabase().HasNavRecordPosition(0))
        items.push_back({Text(kGpsReferenceTextId, "GPS"), kNavigationReference});
    return items;
}

}  // namespace fluvex
