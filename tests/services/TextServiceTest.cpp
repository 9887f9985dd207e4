#include "services/TextService.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>

namespace fluvex {
namespace {

// Unknown ids have no text (a known one missed by the table's search shows in the chart
// headings' test); a list joins in order up to its first zero or its end, passing over unknown ids.
TEST(TextService, UnknownIdsHaveNoTextAndListsJoinUpToTheFirstZero) {
    for (int id : {0, -1, 1, 1289, 5939, 12599, 99999, INT_MIN, INT_MAX})
        EXPECT_EQ(TextService::LoadText(id), "") << id;
    EXPECT_EQ(TextService::LoadText(std::array{5973, 5974, 0}), "Start EdgeEnd Edge");
    EXPECT_EQ(TextService::LoadText(std::array{5936, 0, 5937, 0}), "Discharge");
    EXPECT_EQ(TextService::LoadText(std::array{0, 5936}), "");
    EXPECT_EQ(TextService::LoadText(std::array{5941, 5942}), "TopBottom");
    EXPECT_EQ(TextService::LoadText(std::array{-7, 5066, 5939, 0}), "Total");
}

}  // namespace
}  // namespace fluvex
