#include "services/TextService.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <set>
#include <string>

namespace fluvex {
namespace {

// Spreadsheet column headings by column kind 0 to 19.
constexpr std::array kSpreadsheetHeadingIds = {3030,  3055,  2915, 1487, 1533,  12474, 12472,
                                               12473, 5940,  5941, 5942, 2371,  2565,  1874,
                                               1348,  12475, 5908, 5909, 12476, 12477};

// A miss in the binary search (an unsorted table, a lost entry) shows up here as an empty text.
TEST(TextService, SpreadsheetHeadingsHaveDistinctTextsAndUnknownIdsNone) {
    std::set<std::string> headings;
    for (int id : kSpreadsheetHeadingIds)
        headings.insert(TextService::LoadText(id));
    EXPECT_EQ(headings.size(), kSpreadsheetHeadingIds.size());
    EXPECT_FALSE(headings.contains(""));
    for (int id : {0, -1, 1, 1289, 5939, 12599, 99999, INT_MIN, INT_MAX})
        EXPECT_EQ(TextService::LoadText(id), "") << id;

    // A list joins in order up to its first zero or its end, passing over unknown ids.
    EXPECT_EQ(TextService::LoadText(std::array{5973, 5974, 0}), "Start EdgeEnd Edge");
    EXPECT_EQ(TextService::LoadText(std::array{5936, 0, 5937, 0}), "Discharge");
    EXPECT_EQ(TextService::LoadText(std::array{0, 5936}), "");
    EXPECT_EQ(TextService::LoadText(std::array{5941, 5942}), "TopBottom");
    EXPECT_EQ(TextService::LoadText(std::array{-7, 5066, 5939, 0}), "Total");
}

}  // namespace
}  // namespace fluvex
