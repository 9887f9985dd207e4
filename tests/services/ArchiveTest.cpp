#include "services/Archive.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <string>
#include <utility>
#include <vector>

#include "TestEnvironment.h"

namespace fluvex {
namespace {

struct Entry {
    std::string name;
    std::string content;
};

class ArchiveTest : public test::TemporaryHostFolders {
protected:
    // Entries are stored uncompressed unless `deflate`, so tests can find their bytes.
    std::filesystem::path WriteZip(const std::vector<Entry>& entries, bool deflate = false) {
        const auto path = Root() / "survey.zip";
        int code = 0;
        zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        EXPECT_NE(archive, nullptr);
        for (const Entry& entry : entries) {
            zip_source_t* source =
                zip_source_buffer(archive, entry.content.data(), entry.content.size(), 0);
            const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, 0);
            EXPECT_GE(index, 0) << entry.name;
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                     deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
        }
        EXPECT_EQ(zip_close(archive), 0);
        return path;
    }

    std::unique_ptr<Archive> OpenOrFail(const std::filesystem::path& path) {
        std::string error;
        auto archive = Archive::Open(path, &error);
        EXPECT_NE(archive, nullptr) << error;
        return archive;
    }
};

// Names are listed as stored, escapes included; entries, empty or large, come out whole.
TEST_F(ArchiveTest, ListsNamesAsStoredAndExtractsOverManyChunks) {
    std::string large(300'000, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>(i * 7 % 251);
    const std::vector<Entry> entries{
        {"..\\evil.ydff", ""}, {"L\xC3\xA9vis.YDFF", "c"}, {"Survey/Line 4/data.ydff", large}};
    const auto archive = OpenOrFail(WriteZip(entries, true));
    ASSERT_NE(archive, nullptr);
    ASSERT_EQ(archive->EntryCount(), 3u);
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_EQ(archive->EntryName(k), entries[k].name);
    EXPECT_EQ(archive->EntryName(3), "");

    const auto target = Root() / "Line 4.ydff";
    WriteText(target, std::string(400'000, 'x'));  // truncated, not merged
    ASSERT_TRUE(archive->ExtractTo(2, target));
    EXPECT_EQ(ReadText(target), large);
    ASSERT_TRUE(archive->ExtractTo(0, Root() / "empty"));
    EXPECT_EQ(ReadText(Root() / "empty"), "");

    EXPECT_FALSE(archive->ExtractTo(3, Root() / "none"));
    EXPECT_FALSE(archive->ExtractTo(2, Root() / "no folder" / "line.ydff"));
    EXPECT_FALSE(std::filesystem::exists(Root() / "none"));
}

TEST_F(ArchiveTest, DamagedEntryLeavesNoFileAndWhatIsNotAnArchiveIsRefused) {
    const std::string content(1000, 'q');
    const auto path = WriteZip({{"line.ydff", content}});
    std::string bytes = ReadText(path);
    const std::size_t stored = bytes.find(content);
    ASSERT_NE(stored, std::string::npos);
    bytes[stored + 500] = 'Q';
    WriteText(path, bytes);

    const auto archive = OpenOrFail(path);
    ASSERT_NE(archive, nullptr);
    EXPECT_FALSE(archive->ExtractTo(0, Root() / "copy.ydff"));
    EXPECT_FALSE(std::filesystem::exists(Root() / "copy.ydff"));

    // What is not an archive is refused, saying why.
    WriteText(Root() / "text.zip", "RAWLINE 1\nNAME not a zip\n");
    std::string error;
    EXPECT_EQ(Archive::Open(Root() / "text.zip", &error), nullptr);
    EXPECT_EQ(error, "not a zip archive");
    EXPECT_EQ(Archive::Open(Root() / "missing.zip", &error), nullptr);
    EXPECT_NE(error, "not a zip archive");
    EXPECT_EQ(Archive::Open(Root() / "missing.zip", nullptr), nullptr);
}

TEST_F(ArchiveTest, RefusesEntriesThatWouldUnpackFarBeyondTheirSize) {
    const std::string zeros(20 << 20, '\0');
    std::string varied(2 << 20, '\0');
    for (std::size_t i = 0; i < varied.size(); ++i)
        varied[i] = static_cast<char>((i * 2654435761U) >> 13U);
    const auto archive = OpenOrFail(WriteZip({{"bomb.ydff", zeros}, {"line.ydff", varied}}, true));
    ASSERT_NE(archive, nullptr);
    const auto refusal = archive->Refusal(0);
    ASSERT_TRUE(refusal.has_value());
    EXPECT_NE(refusal->find("20971520 bytes"), std::string::npos) << *refusal;
    EXPECT_FALSE(archive->ExtractTo(0, Root() / "bomb.ydff"));
    EXPECT_FALSE(std::filesystem::exists(Root() / "bomb.ydff"));
    EXPECT_EQ(archive->Refusal(1), std::nullopt);
    EXPECT_TRUE(archive->ExtractTo(1, Root() / "line.ydff"));
}

}  // namespace
}  // namespace fluvex
