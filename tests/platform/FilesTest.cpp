#include "platform/Files.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(WriteFileAtomically, CreatesAndReplacesWholeFiles) {
    testsupport::ScratchFolder scratch;
    const fs::path file = scratch.path() / "record.bin";
    ASSERT_TRUE(platform::WriteFileAtomically(file.u16string(), Bytes(1000, 0xAB)));
    EXPECT_EQ(ReadAll(file), Bytes(1000, 0xAB));
    // A shorter replacement leaves nothing of the longer file behind.
    ASSERT_TRUE(platform::WriteFileAtomically(file.u16string(), Bytes{1, 2, 3}));
    EXPECT_EQ(ReadAll(file), (Bytes{1, 2, 3}));
    ASSERT_TRUE(platform::WriteFileAtomically(file.u16string(), Bytes{}));
    EXPECT_EQ(fs::file_size(file), 0u);
    EXPECT_FALSE(fs::exists(scratch.path() / "record.bin.new"));
}

TEST(WriteFileAtomically, WritesPartsOneAfterTheOther) {
    testsupport::ScratchFolder scratch;
    const fs::path file = scratch.path() / "piece.bin";
    const Bytes head{1, 2, 3}, empty, body(70000, 0x5A);
    const std::span<const std::uint8_t> parts[] = {head, empty, body};
    ASSERT_TRUE(platform::WriteFileAtomically(file.u16string(), parts, false));
    Bytes expected = head;
    expected.insert(expected.end(), body.begin(), body.end());
    EXPECT_EQ(ReadAll(file), expected);
}

TEST(WriteFileAtomically, TakesNamesInAnyScript) {
    testsupport::ScratchFolder scratch;
    const std::u16string name = u"\u65e5\u672c-\U0001F3B5.bin";
    ASSERT_TRUE(platform::WriteFileAtomically(scratch.text() + u"/" + name, Bytes{7}));
    EXPECT_EQ(ReadAll(scratch.path() / fs::path(name)), Bytes{7});
}

TEST(WriteFileAtomically, FailsWithoutHarmWhereItCannotWrite) {
    testsupport::ScratchFolder scratch;
    EXPECT_FALSE(platform::WriteFileAtomically(u"", Bytes{1}));
    EXPECT_FALSE(platform::WriteFileAtomically((scratch.path() / "missing" / "f").u16string(), Bytes{1}));
    EXPECT_FALSE(fs::exists(scratch.path() / "missing"));

    // The rename cannot replace a folder; the new file must not be left lying about.
    fs::create_directory(scratch.path() / "folder");
    EXPECT_FALSE(platform::WriteFileAtomically((scratch.path() / "folder").u16string(), Bytes{1}));
    EXPECT_TRUE(fs::is_directory(scratch.path() / "folder"));
    EXPECT_FALSE(fs::exists(scratch.path() / "folder.new"));
}

TEST(WriteFileAtomically, DoesNotFollowALinkPlantedUnderTheNewFilesName) {
    testsupport::ScratchFolder scratch;
    const fs::path file = scratch.path() / "record.bin";
    const fs::path victim = scratch.path() / "victim";
    std::ofstream(victim) << "keep";
    fs::create_symlink(victim, scratch.path() / "record.bin.new");
    EXPECT_FALSE(platform::WriteFileAtomically(file.u16string(), Bytes{1, 2}));
    EXPECT_EQ(ReadAll(victim), (Bytes{'k', 'e', 'e', 'p'}));
}

TEST(WriteFileAtomically, AReaderOnlyEverSeesAWholeOldOrNewFile) {
    testsupport::ScratchFolder scratch;
    const fs::path file = scratch.path() / "record.bin";
    const Bytes small(38, 'a');
    const Bytes large(8192, 'b');
    ASSERT_TRUE(platform::WriteFileAtomically(file.u16string(), small));

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        while (!done) {
            Bytes seen;
            if (!platform::ReadFileStart(file.u16string(), 1 << 16, seen))
                ++torn; // the name must never be missing
            else if (seen != small && seen != large)
                ++torn;
            ++reads;
        }
    });
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(platform::WriteFileAtomically(file.u16string(), i % 2 ? small : large));
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
}

TEST(ReadFileStart, ReadsAtMostTheAskedBytes) {
    testsupport::ScratchFolder scratch;
    const fs::path file = scratch.path() / "f";
    ASSERT_TRUE(platform::WriteFileAtomically(file.u16string(), Bytes{1, 2, 3, 4, 5}));
    Bytes bytes{9, 9};
    ASSERT_TRUE(platform::ReadFileStart(file.u16string(), 3, bytes));
    EXPECT_EQ(bytes, (Bytes{1, 2, 3}));
    ASSERT_TRUE(platform::ReadFileStart(file.u16string(), 100, bytes));
    EXPECT_EQ(bytes, (Bytes{1, 2, 3, 4, 5}));
    ASSERT_TRUE(platform::ReadFileStart(file.u16string(), 0, bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST(ReadFileStart, MissingFilesAndFoldersAreNotRead) {
    testsupport::ScratchFolder scratch;
    Bytes bytes{1};
    EXPECT_FALSE(platform::ReadFileStart((scratch.path() / "none").u16string(), 10, bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(platform::ReadFileStart(scratch.text(), 10, bytes));
}
