#include "services/BackgroundFileWriter.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TestEnvironment.h"

namespace fluvex {
namespace {

using WriterFile = test::TemporaryHostFolders;

// Buffers of every size (none, one byte, more than a pipe holds) arrive whole and in order,
// and each handed-back buffer is empty whatever it held before.
TEST_F(WriterFile, BuffersArriveWholeAndInOrder) {
    const auto path = Root() / "out.txt";
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(descriptor, 0);
    std::string expected;
    {
        BackgroundFileWriter writer(descriptor);
        std::string buffer;
        for (const std::size_t size : {0UL, 1UL, 70'000UL, 3UL, 1UL << 20, 0UL, 17UL}) {
            for (std::size_t i = 0; i < size; ++i)
                buffer.push_back(static_cast<char>('a' + (expected.size() + i) % 26));
            expected += buffer;
            writer.Write(buffer);
            EXPECT_TRUE(buffer.empty());
        }
        EXPECT_TRUE(writer.Finish());
    }
    ::close(descriptor);
    EXPECT_EQ(ReadText(path), expected);
}

// A full disk fails the export instead of reporting success, and the buffers after the failure
// do not block the writer.
TEST(BackgroundFileWriter, AFullDiskFailsAndLaterBuffersAreDropped) {
    const int descriptor = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (descriptor < 0) GTEST_SKIP() << "no /dev/full";
    BackgroundFileWriter writer(descriptor);
    for (int i = 0; i < 4; ++i) {
        std::string buffer(4096, 'x');
        writer.Write(buffer);
    }
    EXPECT_FALSE(writer.Finish());
    ::close(descriptor);
}

}  // namespace
}  // namespace fluvex
