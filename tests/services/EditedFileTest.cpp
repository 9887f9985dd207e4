#include "services/EditedFile.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

#include "TestEnvironment.h"

namespace fluvex {
namespace {

// Little-endian fields written into a zero-filled payload.
class Payload {
public:
    explicit Payload(std::size_t size) : bytes_(size, '\0') {}

    Payload& U16(std::size_t at, std::uint16_t value) { return Put(at, value, 2); }
    Payload& U32(std::size_t at, std::uint32_t value) { return Put(at, value, 4); }
    Payload& F64(std::size_t at, double value) {
        return Put(at, std::bit_cast<std::uint64_t>(value), 8);
    }
    Payload& Text(std::size_t at, const std::string& text) {
        bytes_.replace(at, text.size(), text);
        return *this;
    }
    const std::string& Bytes() const { return bytes_; }

private:
    Payload& Put(std::size_t at, std::uint64_t bits, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i)
            bytes_.at(at + i) = static_cast<char>((bits >> (8 * i)) & 0xFF);
        return *this;
    }

    std::string bytes_;
};

std::string Record(std::uint16_t type, const Payload& payload) {
    const std::string& body = payload.Bytes();
    const auto length = static_cast<std::uint16_t>(body.size());
    return Payload(4).U16(0, length).U16(2, type).Bytes() + body +
           Payload(2).U16(0, length).Bytes();
}

std::string Navigation(const EditedNavRecord& r) {
    Payload payload(128);
    payload.U32(0, r.kind).U32(4, r.status).F64(8, r.timeOfDay).F64(16, r.x).F64(24, r.y);
    for (std::size_t i = 0; i < 4; ++i)
        payload.F64(32 + 8 * i, r.depth1[i]).F64(64 + 8 * i, r.depth2[i]);
    payload.F64(96, r.heading).F64(104, r.pitch).F64(112, r.roll).F64(120, r.fourth);
    return Record(0x70, payload);
}

std::string Navigation(double time, std::uint32_t status = 0) {
    return Navigation({.status = status, .timeOfDay = time});
}

class EditedFileTest : public test::TemporaryHostFolders {
protected:
    std::filesystem::path Write(const std::string& bytes) {
        const auto path = Root() / "line.kq2";
        WriteText(path, bytes);
        return path;
    }
};

TEST_F(EditedFileTest, DecodesEveryNavigationFieldOfWholeRecordsOnlyAndReducesDepthsByKind) {
    // kind, status, time, x, y, depths 1 and 2, heading, pitch, roll, fourth value
    const EditedNavRecord stored{
        9, 3, 37800.25, 500001.5, 5270000.5, {1, 2, 3, 4}, {0, 9, 0, 7}, 87.5, 1.25, -0.75, 0.0625};
    EditedFile file;
    ASSERT_EQ(file.Open(Write(Navigation(stored))), 1);
    EditedNavRecord record;
    ASSERT_TRUE(file.ReadRecord(0, record));
    EXPECT_EQ(record, stored);
    EXPECT_FALSE(record.Usable());
    EXPECT_EQ(record.ToFix(),
              (NavigationFix{37800.25, 500001.5, 5270000.5, 2.5, 8, 87.5, 1.25, -0.75, 0.0625}));

    // Only whole navigation records are indexed.
    const std::string bytes = Navigation(1) + Record(0x99, Payload(7)) +
                              Record(0x0E, Payload(260)) + Record(0x70, Payload(127)) +
                              Navigation(2, 1) + Record(0x70, Payload(200).F64(8, 3));
    // The stream ends at a record without its trailer, or at a length past the end of the file.
    const std::string overrun = Payload(4).U16(0, 0xFFFF).U16(2, 0x70).Bytes() + Navigation(5);
    for (const std::string& end : {Navigation(4).substr(0, 133), overrun}) {
        ASSERT_EQ(file.Open(Write(bytes + end)), 3);
        ASSERT_TRUE(file.ReadRecord(1, record));
        EXPECT_EQ(record.timeOfDay, 2);
        EXPECT_EQ(record.status, 1u);
        ASSERT_TRUE(file.ReadRecord(2, record));
        EXPECT_EQ(record.timeOfDay, 3);
        EXPECT_FALSE(file.ReadRecord(3, record));
        EXPECT_FALSE(file.ReadRecord(-1, record));

        file.Close();
        EXPECT_EQ(file.RecordCount(), 0);
        EXPECT_FALSE(file.ReadRecord(0, record));
    }
    EXPECT_EQ(EditedFile().Open(Root() / "missing.kq2"), 0);

    // The kind decides how depth values reduce.
    struct Case {
        std::uint32_t kind;
        std::array<double, 4> depths;
        double expected;
    };
    const Case cases[] = {
        {5, {4, 0, 6, 0}, 5}, {5, {0, 0, 0, 0}, 0}, {5, {0, 2, 0, 0}, 2}, {9, {2, 0, 4, 6}, 3},
        {9, {0, 3, 0, 5}, 4}, {9, {0, 0, 0, 0}, 0}, {1, {7, 9, 9, 9}, 7}, {0, {0, 9, 9, 9}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " first " << c.depths[0]);
        const EditedNavRecord reduced{.kind = c.kind, .depth1 = c.depths, .depth2 = c.depths};
        EXPECT_DOUBLE_EQ(reduced.Depth1(), c.expected);
        EXPECT_DOUBLE_EQ(reduced.Depth2(), c.expected);
    }
}

TEST_F(EditedFileTest, PlannedLinesOfShortAndLongRecordsAndTheirLimits) {
    Payload line(270);
    line.U16(0, 3).U32(4, 100).U32(8, 103).U32(12, 106).U32(132, 200).U32(136, 204).U32(140, 204);
    line.Text(260, "Rh\xF4ne");  // ISO 8859-1, ended by the payload
    PlannedLine planned = ReadEditedPlannedLine(Write(Navigation(1) + Record(0x0E, line)));
    ASSERT_EQ(planned.points.size(), 3u);
    EXPECT_EQ(planned.name, "Rh\xC3\xB4ne");
    EXPECT_EQ(planned.points[1].cumulativeDistance, 5);
    EXPECT_EQ(planned.points[2].cumulativeDistance, 8);
    EXPECT_DOUBLE_EQ(planned.points[2].segmentDirection, 90);
    EXPECT_TRUE(planned.sideA.empty());

    // From a long record: rounded, nine sides kept.
    Payload longLine(4744);
    longLine.U16(0, 2).U16(4, 12);
    longLine.F64(8, 1234.6).F64(16, 1234.4).F64(1032, -7.5).F64(1040, 10).F64(2056, 2.5);
    longLine.Text(3080, std::string(64, 'N'));  // no terminator
    for (std::size_t i = 0; i < 12; ++i) {
        longLine.F64(3144 + 8 * i, static_cast<double>(i));
        longLine.F64(3944 + 8 * i, -static_cast<double>(i));
    }
    // A second planned line after the first is not read.
    planned =
        ReadEditedPlannedLine(Write(Record(0x38, longLine) + Record(0x0E, Payload(260).U16(0, 1))));
    ASSERT_EQ(planned.points.size(), 2u);
    EXPECT_EQ(planned.points[0].x, 1235);
    EXPECT_EQ(planned.points[1].x, 1234);
    EXPECT_EQ(planned.points[0].y, -8);  // halves round away from zero
    EXPECT_EQ(planned.points[0].third, 3);
    EXPECT_EQ(planned.name, std::string(63, 'N'));
    ASSERT_EQ(planned.sideA.size(), 9u);
    EXPECT_EQ(planned.sideA[8], 8);
    EXPECT_EQ(planned.sideB[8], -8);

    // A long-line record too short for its layout is passed over like an unknown one; the point
    // count is capped; a short-line record too short to hold its name, or none at all, gives no
    // line.
    line = Payload(300);
    line.U16(0, 40).Text(260, std::string("L1\0junk", 7));
    planned =
        ReadEditedPlannedLine(Write(Record(0x38, Payload(4743).U16(0, 1)) + Record(0x0E, line)));
    EXPECT_EQ(planned.points.size(), 32u);
    EXPECT_EQ(planned.name, "L1");
    EXPECT_TRUE(ReadEditedPlannedLine(Write(Navigation(1))).Empty());
    EXPECT_TRUE(ReadEditedPlannedLine(Write(Record(0x0E, Payload(259).U16(0, 1)))).Empty());
    EXPECT_TRUE(ReadEditedPlannedLine(Root() / "missing.kq2").Empty());
}

}  // namespace
}  // namespace fluvex
