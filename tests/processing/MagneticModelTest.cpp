#include "processing/MagneticModel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <vector>

#include "TestEnvironment.h"
#include "services/AtomicFile.h"

namespace fluvex {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using namespace std::chrono_literals;

const fs::path kWmmData = fs::path(FLUVEX_TEST_DATA) / "wmm";
constexpr double kTolerance = 0.0005;  // degrees

std::string DataText(const char* name) {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(kWmmData / name, text)) << name;
    return text;
}

std::unique_ptr<MagneticModel> DataModel(const char* name) {
    MagneticModelLoad load = LoadMagneticModel(kWmmData / name);
    EXPECT_TRUE(load.model) << load.error;
    return std::move(load.model);
}

std::int64_t TimeMs(year_month_day day, milliseconds sinceMidnight = 0ms) {
    return (sys_days{day}.time_since_epoch() + sinceMidnight) / 1ms;
}

TEST(MagneticModel, MatchesEveryReferenceDeclinationAndContinuesAtThePoles) {
    const auto model = DataModel("WMM2025.COF");
    ASSERT_TRUE(model);
    std::ifstream in(kWmmData / "reference_declinations.json");
    const auto points = nlohmann::json::parse(in).at("points");
    ASSERT_EQ(points.size(), 136u);
    for (const auto& p : points) {
        const double lat = p.at("lat"), lon = p.at("lon"), height = p.at("height_km");
        const double year = p.at("decimal_year");
        EXPECT_NEAR(DeclinationAtDecimalYear(*model, year, lat, lon, height),
                    p.at("declination_deg").get<double>(), kTolerance)
            << "lat " << lat << " lon " << lon << " height " << height << " km, year " << year;
    }
    // The poles continue their meridians.
    EXPECT_NEAR(model->DeclinationAt(2026.0, -90, 137, 0),
                model->DeclinationAt(2026.0, -90 * (1 - 1e-7), 137, 0), 1e-3);
    EXPECT_TRUE(std::isnan(model->DeclinationAt(2026.0, 90.5, 0, 0)));
    EXPECT_TRUE(std::isnan(model->DeclinationAt(2026.0, std::nan(""), 0, 0)));
    EXPECT_TRUE(model->Covers(2025.0));
    EXPECT_FALSE(model->Covers(2030.0));
}

TEST(MagneticModel, ReadsTheOlderHeaderLayoutCrLfLinesAndTabs) {
    const auto model = DataModel("WMM2020.COF");
    ASSERT_TRUE(model);
    EXPECT_EQ(model->Name(), "WMM-2020");
    // NOAA's WMM2020 test points, computed to six decimals by an independent implementation.
    EXPECT_NEAR(DeclinationAtDecimalYear(*model, 2020.0, -80, 240, 0), 69.361056, kTolerance);
    EXPECT_NEAR(DeclinationAtDecimalYear(*model, 2022.5, 80, 0, 100), -0.409438, kTolerance);

    // CR LF line ends and tabs.
    std::string text;
    for (char c : DataText("WMM2025.COF"))
        text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    text.replace(text.find("    2025.0  "), 12, "2025.0\t");
    const auto load = MagneticModel::Parse(text, "crlf.COF");
    ASSERT_TRUE(load.model) << load.error;
    EXPECT_NEAR(load.model->DeclinationAt(2025.0, 80, 0, 0), 1.281482, kTolerance);
}

std::string Replaced(std::string text, std::string_view part, std::string_view by) {
    return text.replace(text.find(part), part.size(), by);
}

// Each damage is refused with an error naming the file, the line and what is wrong there.
TEST(MagneticModel, RefusesBadFilesNamingFileAndLine) {
    const std::string good = DataText("WMM2025.COF");
    const std::string first = "  1  0  -29351.8       0.0       12.0        0.0";
    const std::string end = "999999999999999999999999999999999999999999999999";
    auto withLine = [&](std::string_view by) { return Replaced(good, first, by); };
    const std::pair<std::string, const char*> cases[] = {
        {"", "bad.COF line 1: no header"},
        {Replaced(good, "2025.0 ", "20x5.0 "), "line 1: the epoch \"20x5.0\""},
        {withLine("1 0 -29351.8 0.0 12.0"), "line 2: expected the 6 fields"},
        {withLine("13 0 1 0 0 0"), "line 2: degree \"13\""},
        {withLine("1 2 1 0 0 0"), "line 2: degree \"1\" and order \"2\""},
        {withLine("1 0 nan 0 12 0"), "\"nan\" is not a coefficient"},
        {withLine("1 0 -29351.8 0 1e300 0"), "\"1e300\" is not a coefficient"},
        {withLine("1 0 " + std::string(500, '7') + " 0 0 0"), "7777...\" is not"},
        {Replaced(good, first, first + "\n" + first), "line 3: degree 1 order 0 is given twice"},
        {good.substr(0, good.find("  7  0")),
         "line 28: the coefficients end without degree 7 order 0"},
        {Replaced(good, "  3  0", end + "\n"),
         "line 7: the coefficients end without degree 3 order 0"},
    };
    for (const auto& [text, expected] : cases) {
        const MagneticModelLoad load = MagneticModel::Parse(text, "bad.COF");
        EXPECT_FALSE(load.model) << expected;
        EXPECT_NE(load.error.find("bad.COF line "), std::string::npos) << load.error;
        EXPECT_NE(load.error.find(expected), std::string::npos) << load.error;
    }
    // Random damage: a model or an error, never neither nor a crash.
    std::mt19937 random(2025);
    std::uniform_int_distribution<std::size_t> position(0, good.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string text = good;
        for (int change = 0; change < 1 + round % 4; ++change)
            text[position(random)] = static_cast<char>(byte(random));
        if (round % 5 == 0) text.resize(position(random));
        const MagneticModelLoad load = MagneticModel::Parse(text, "corrupt.COF");
        EXPECT_NE(load.model == nullptr, load.error.empty()) << "round " << round;
    }
}

TEST(MagneticModelTime, CalendarDecimalYearRestartsEachFirstOfJanuary) {
    EXPECT_EQ(CalendarDecimalYear(TimeMs(2025y / January / 1)), 2025.0);
    const double lastMoment = CalendarDecimalYear(TimeMs(2024y / December / 31, 24h - 1ms));
    EXPECT_LT(lastMoment, 2025.0);
    EXPECT_GT(lastMoment, 2025.0 - 1e-9);
    EXPECT_DOUBLE_EQ(CalendarDecimalYear(TimeMs(2028y / July / 2)), 2028.5);  // day 183 of 366
    // Where dividing all the time since 1970 by 365 days would jump back.
    EXPECT_DOUBLE_EQ(CalendarDecimalYear(TimeMs(2027y / December / 18)), 2027 + 351.0 / 365);
    EXPECT_DOUBLE_EQ(CalendarDecimalYear(std::numeric_limits<std::int64_t>::min()), 1.0);
    EXPECT_LT(CalendarDecimalYear(std::numeric_limits<std::int64_t>::max()), 10000.0);
}

class DeclinationCalculationTest : public testing::Test {
protected:
    static void SetUpTestSuite() { model_ = DataModel("WMM2025.COF"); }
    static void TearDownTestSuite() { model_.reset(); }

    // Lines of ensembles, walked in order; counts the ensembles handed out.
    EnsembleWalk Walk(std::vector<std::vector<EnsemblePosition>> lines) {
        return [this, lines = std::move(lines)](const EnsembleVisitor& visit) {
            for (const auto& line : lines)
                for (const auto& ensemble : line) {
                    ++visited_;
                    if (!visit(ensemble)) return;
                }
        };
    }
    // Grid x = longitude, y = latitude; x beyond 180 does not convert.
    static GeographicPoint ToGeographic(double x, double y) { return {y, x, std::abs(x) <= 180}; }

    static inline std::unique_ptr<MagneticModel> model_;
    int visited_ = 0;
};

TEST_F(DeclinationCalculationTest, ReportsWhatIsMissingInOrderAndSkipsWhatDoesNotConvert) {
    using enum DeclinationMessage;
    const auto message = [](const MagneticModel* model, int lines, const EnsembleWalk& walk) {
        return CalculateDeclination(model, lines, walk, ToGeographic).message;
    };
    const std::int64_t t = TimeMs(2026y / May / 1);
    const auto walk = Walk({{{t, 10, 50, true}}});
    EXPECT_EQ(message(model_.get(), 0, walk), NoLineLoaded);
    EXPECT_EQ(message(nullptr, 0, walk), NoLineLoaded);
    EXPECT_EQ(message(nullptr, 1, walk), ModelNotAvailable);
    EXPECT_EQ(message(model_.get(), 2, Walk({{{t, 10, 50, false}}, {{t, 11, 51, false}}})),
              NoPositionFound);
    EXPECT_EQ(message(model_.get(), 1, Walk({{{t, 500, 50, true}}})), NoPositionFound);  // no grid
    EXPECT_EQ(message(model_.get(), 1, Walk({{}})), NoPositionFound);

    // A position that does not convert is skipped; a late date is extrapolated.
    const std::int64_t late = TimeMs(2032y / January / 1);
    const auto result = CalculateDeclination(
        model_.get(), 1, Walk({{{late, 500, 50, true}, {late, 10, 50, true}}}), ToGeographic);
    ASSERT_EQ(result.message, None);
    EXPECT_EQ(result.degrees, model_->DeclinationAt(2032.0, 50, 10, 0));
}

TEST_F(DeclinationCalculationTest, FirstPositionedEnsembleWinsTheTenth) {
    std::vector<EnsemblePosition> first;
    for (int i = 0; i < 20; ++i)
        first.push_back({TimeMs(2026y / June / 1, i * 1s), -93.1 + i * 1e-3, 30.5, i >= 9});
    // The second line was recorded earlier, but the first line comes first.
    const std::vector<EnsemblePosition> second{{TimeMs(2025y / June / 1), -93, 30, true}};
    const auto result = CalculateDeclination(model_.get(), 2, Walk({first, second}), ToGeographic);
    ASSERT_EQ(result.message, DeclinationMessage::None);
    EXPECT_EQ(result.degrees, Declination(model_.get(), first[9].timeMs, 30.5, first[9].x, 0));
    EXPECT_EQ(visited_, 10);
}

TEST(DeclinationFormat, FiveSignificantDigitsThreeDecimals) {
    const std::pair<double, const char*> cases[] = {
        {-12.3456, "-12.346"}, {123.4567, "123.460"}, {-179.99996, "-180.000"}, {-0.0004, "0.000"}};
    for (const auto& [degrees, text] : cases)
        EXPECT_EQ(FormatDeclination(degrees), text) << degrees;
}

class MagneticModelFile : public test::TemporaryHostFolders {};

TEST_F(MagneticModelFile, InstallsTheShippedModelOnceThenKeepsTheUsersFileOrSaysWhyNot) {
    std::string error;
    const fs::path path = EnsureMagneticModelFile(&error);
    EXPECT_EQ(path, Root() / "config" / "WMM.COF") << error;
    EXPECT_EQ(ReadText(path), DataText("WMM2025.COF"));

    WriteText(path, DataText("WMM2020.COF"));
    EXPECT_EQ(EnsureMagneticModelFile(), path);
    EXPECT_EQ(ReadText(path), DataText("WMM2020.COF"));

    // A folder it cannot write is reported.
    std::filesystem::remove_all(Root() / "config");
    WriteText(Root() / "config", "a file where the settings folder should be");
    EXPECT_TRUE(EnsureMagneticModelFile(&error).empty());
    EXPECT_FALSE(error.empty());
}

TEST_F(MagneticModelFile, RefusesMissingAndOversizedFiles) {
    const fs::path missing = Root() / "absent.COF";
    EXPECT_NE(LoadMagneticModel(missing).error.find(missing.string()), std::string::npos);

    const fs::path big = Root() / "big.COF";
    WriteText(big, DataText("WMM2025.COF") + std::string(2 << 20, '\n'));
    const MagneticModelLoad load = LoadMagneticModel(big);
    EXPECT_FALSE(load.model);
    const std::string expected = ": " + std::to_string(fs::file_size(big)) + " bytes is too large";
    EXPECT_NE(load.error.find(big.string() + expected), std::string::npos) << load.error;
}

}  // namespace
}  // namespace fluvex
