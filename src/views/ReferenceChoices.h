#pragma once

// The depth and velocity references the loaded data offers, shared by the side panel and the
// options dialog. Edited files (or the suite's raw line files) bring the sounder depths and the
// navigation; before anything is loaded every choice is offered.

#include <vector>

#include "views/CodedRadioGroup.h"

namespace fluvex {

// Codes as the settings hold them.
enum DepthReferenceCode : int {
    kDepth1 = 0,
    kDepth2 = 1,
    kBottomTrackDepthCode = 2,
    kVerticalBeamCode = 3
};
enum VelocityReferenceCode : int {
    kNoReference = 0,
    kBottomTrackReference = 1,
    kNavigationReference = 2
};

std::vector<CodedRadioGroup::Item> DepthReferenceItems();
std::vector<CodedRadioGroup::Item> VelocityReferenceItems();

}  // namespace fluvex
