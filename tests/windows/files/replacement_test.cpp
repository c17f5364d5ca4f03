// Replacement files over the Windows file API: a file replaced whole, one held by another
// program left alone, a device written straight into, and never a temporary file left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_error.h"
#include "files/replacement_file.h"
#include "tests/windows/support/scratch_folder.h"

namespace {

class ReplacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = EnterScratchFolder();
        ASSERT_FALSE(Folder.Path.empty());
    }
    void TearDown() override { LeaveScratchFolder(Folder); }
    ScratchFolder Folder;
};

// The names in the working folder, so a test sees what a replacement left there.
std::vector<std::string> FolderNames() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Appends in lines' worth of bytes, as a conversion does.
void AppendAll(ReplacementFile& file, std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += 1000) {
        AppendToReplacement(file, bytes.substr(at, 1000));
    }
}

std::uint8_t Replace(const std::string& name, const std::string& bytes) {
    ReplacementFile file;
    BeginReplacement(file, name);
    AppendAll(file, bytes);
    return FinishReplacement(file);
}

TEST_F(ReplacementTest, ReplacesAFileWholeAndMakesAMissingOne) {
    ASSERT_TRUE(CreateDirectoryA("sub", nullptr));
    WriteWholeFile("take1.sig", std::string(10000, 'x'));
    const std::string bytes = CountingBytes(3 * ReplacementBufferSize / 2);
    for (const char* name : {"take1.sig", "take2.sig", "sub\\take3.sig", "sub/take4.sig"}) {
        EXPECT_EQ(Replace(name, bytes), 0) << name;
        EXPECT_TRUE(ReadWholeFile(name) == bytes) << name;  // no dump of 384 KiB
    }
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"sub", "take1.sig", "take2.sig"}));
}

TEST_F(ReplacementTest, AFileHeldByAnotherProgramStaysAsItWas) {
    WriteWholeFile("take1.sig", "old");
    HANDLE other = CreateFileA("take1.sig", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Replace("take1.sig", "new"), AccessRefused);
    CloseHandle(other);
    EXPECT_EQ(ReadWholeFile("take1.sig"), "old");
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"take1.sig"});
}

TEST_F(ReplacementTest, AnAbandonedFileLeavesTheOldOne) {
    WriteWholeFile("take1.sig", "old");
    ReplacementFile file;
    BeginReplacement(file, "take1.sig");
    AppendAll(file, CountingBytes(2 * ReplacementBufferSize));
    AbandonReplacement(file);
    EXPECT_EQ(ReadWholeFile("take1.sig"), "old");
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"take1.sig"});
}

TEST_F(ReplacementTest, DevicesAndFoldersAreWrittenStraightInto) {
    EXPECT_EQ(Replace("NUL", "lines"), 0);
    ASSERT_TRUE(CreateDirectoryA("take1.sig", nullptr));
    EXPECT_EQ(Replace("take1.sig", "lines"), AccessRefused);
    EXPECT_EQ(Replace("nowhere\\take1.sig", "lines"), PathNotFound);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"take1.sig"});
}

}  // namespace
