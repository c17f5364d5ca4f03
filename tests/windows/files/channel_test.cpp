// File channels over the Windows file API: each open's refusals and their numbers, exclusive
// access, reads and writes at 1-based positions, devices, and what the gate leaves alone.
#include <gtest/gtest.h>

#include <cstring>

#include "files/byte_string.h"
#include "files/channels.h"
#include "files/file_error.h"
#include "files/typed_array.h"
#include "tests/windows/support/scratch_folder.h"

namespace {

class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = EnterScratchFolder();
        ASSERT_FALSE(Folder.Path.empty());
        for (std::int16_t channel = 0; channel < 4; ++channel) CloseChannel(channel);
        TakeFileError();
    }
    void TearDown() override {
        for (std::int16_t channel = 0; channel < 4; ++channel) CloseChannel(channel);
        TakeFileError();
        LeaveScratchFolder(Folder);
    }

    // Opens the file as another program would, with no sharing at all.
    static HANDLE HoldElsewhere(const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    static void MakeReadOnly(const std::string& path) {
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    }

    ScratchFolder Folder;
};

struct RefusalCase {
    const char* Label;
    const char* Name;
    std::uint8_t Expected;
};

TEST_F(ChannelTest, TestOpenRefusalsGiveTheirNumbers) {
    ASSERT_TRUE(CreateDirectoryA("folder", nullptr));
    const RefusalCase cases[] = {
        {"missing file", "absent.wav", FileNotFound},
        {"missing folder", "nowhere\\take1.wav", PathNotFound},
        {"a folder", "folder", AccessRefused},
        {"empty name", "", BadFileName},
        {"star", "take*.wav", BadFileName},
        {"question mark", "take?.wav", BadFileName},
        {"the null device", "NUL", AccessRefused},
    };
    for (const RefusalCase& c : cases) {
        OpenChannel(1, c.Name, OpenMode::Test);
        EXPECT_EQ(TakeFileError(), c.Expected) << c.Label;
        EXPECT_EQ(TakeFileError(), 0) << c.Label;
        // The channel stayed free: a read says it is not open.
        ReadBytes(1, 1);
        EXPECT_EQ(TakeFileError(), ChannelNotOpen) << c.Label;
    }
}

TEST_F(ChannelTest, TheNumberOfAFailedOpenOutlivesLaterSuccesses) {
    WriteWholeFile("take1.wav", "RIFF");
    OpenChannel(1, "absent.wav", OpenMode::Test);
    OpenChannel(1, "take1.wav", OpenMode::Test);
    CloseChannel(1);
    EXPECT_EQ(TakeFileError(), FileNotFound);
}

TEST_F(ChannelTest, AFileHeldByAnotherProgramCannotBeOpenedOrEmptied) {
    WriteWholeFile("take1.wav", CountingBytes(300));
    HANDLE held = HoldElsewhere("take1.wav");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    for (OpenMode mode : {OpenMode::Test, OpenMode::Binary, OpenMode::Output}) {
        OpenChannel(1, "take1.wav", mode);
        EXPECT_EQ(TakeFileError(), AccessRefused);
    }
    CloseHandle(held);
    EXPECT_EQ(ReadWholeFile("take1.wav"), CountingBytes(300));
}

TEST_F(ChannelTest, AnOpenChannelHoldsItsFileAlone) {
    WriteWholeFile("take1.wav", CountingBytes(100));
    OpenChannel(1, "take1.wav", OpenMode::Binary);
    ASSERT_EQ(TakeFileError(), 0);
    HANDLE other = CreateFileA("take1.wav", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    OpenChannel(2, "take1.wav", OpenMode::Test);
    EXPECT_EQ(TakeFileError(), AccessRefused);
    CloseChannel(1);
    OpenChannel(2, "take1.wav", OpenMode::Test);
    EXPECT_EQ(TakeFileError(), 0);
}

TEST_F(ChannelTest, TestAndBinaryOpensLeaveTheFileAsItWas) {
    const std::string content = CountingBytes(1000);
    WriteWholeFile("take1.wav", content);
    OpenChannel(1, "take1.wav", OpenMode::Test);
    CloseChannel(1);
    OpenChannel(1, "take1.wav", OpenMode::Binary);
    ReadBytes(1, 4);
    SeekChannel(1, 25);
    ReadBytes(1, 4);
    CloseChannel(1);
    EXPECT_EQ(TakeFileError(), 0);
    EXPECT_EQ(ReadWholeFile("take1.wav"), content);
}

TEST_F(ChannelTest, BinaryOpenOfAMissingNameCreatesItEmpty) {
    OpenChannel(1, "new.wav", OpenMode::Binary);
    EXPECT_EQ(TakeFileError(), 0);
    EXPECT_EQ(ReadBytes(1, 4), "");
    CloseChannel(1);
    EXPECT_TRUE(FileExists("new.wav"));
    EXPECT_EQ(ReadWholeFile("new.wav"), "");
}

TEST_F(ChannelTest, BinaryOpenOfAReadOnlyFileSucceedsThroughTheReadOnlyRequest) {
    WriteWholeFile("take1.wav", "RIFF1234WAVE");
    MakeReadOnly("take1.wav");
    OpenChannel(1, "take1.wav", OpenMode::Binary);
    EXPECT_EQ(TakeFileError(), 0);
    EXPECT_EQ(ReadBytes(1, 4), "RIFF");
    CloseChannel(1);
    EXPECT_EQ(TakeFileError(), 0);
    EXPECT_EQ(ReadWholeFile("take1.wav"), "RIFF1234WAVE");
}

TEST_F(ChannelTest, RefusedOutputOpenLeavesNothingToWriteOrClose) {
    ASSERT_TRUE(CreateDirectoryA("folder.sig", nullptr));
    OpenChannel(1, "folder.sig", OpenMode::Output);
    EXPECT_EQ(TakeFileError(), AccessRefused);
    WriteItem(1, "1");
    EXPECT_EQ(TakeFileError(), ChannelNotOpen);
    EndLine(1);
    EXPECT_EQ(TakeFileError(), ChannelNotOpen);
    CloseChannel(1);
    EXPECT_EQ(TakeFileError(), 0);
}

TEST_F(ChannelTest, OutputOpenOfAReadOnlyFileIsRefused) {
    if (UnderWine()) GTEST_SKIP() << "wine run as root writes read-only files";
    WriteWholeFile("take1.sig", "keep");
    MakeReadOnly("take1.sig");
    OpenChannel(1, "take1.sig", OpenMode::Output);
    EXPECT_EQ(TakeFileError(), AccessRefused);
    EXPECT_EQ(ReadWholeFile("take1.sig"), "keep");
}

TEST_F(ChannelTest, ChannelNumbersAndModesAreChecked) {
    WriteWholeFile("take1.wav", CountingBytes(64));
    OpenChannel(-1, "take1.wav", OpenMode::Binary);
    EXPECT_EQ(TakeFileError(), ChannelNotOpen);
    OpenChannel(1, "take1.wav", OpenMode::Test);
    EXPECT_EQ(TakeFileError(), 0);
    OpenChannel(1, "take1.wav", OpenMode::Binary);
    EXPECT_EQ(TakeFileError(), ChannelAlreadyOpen);
    ReadBytes(1, 4);  // a test channel is not read
    EXPECT_EQ(TakeFileError(), WrongModeOrKind);
    WriteItem(1, "1");
    EXPECT_EQ(TakeFileError(), WrongModeOrKind);
    CloseChannel(1);
    CloseChannel(1);  // free by now: nothing happens
    EXPECT_EQ(TakeFileError(), 0);
}

TEST_F(ChannelTest, ReadsAtTheEndOfTheFileAreShortOrEmptyWithoutError) {
    WriteWholeFile("short.wav", std::string("RIFF\x34\x12", 6));
    OpenChannel(1, "short.wav", OpenMode::Binary);
    EXPECT_EQ(ReadBytes(1, 4), "RIFF");
    ByteString last = ReadBytes(1, 4);
    EXPECT_EQ(last, "\x34\x12");
    EXPECT_EQ(BytesToInt32(last), 0x1234);
    EXPECT_EQ(ReadBytes(1, 4), "");
    EXPECT_EQ(TakeFileError(), 0);
}

TEST_F(ChannelTest, SeekPositionsCountFromOne) {
    WriteWholeFile("counting.wav", CountingBytes(40));
    OpenChannel(1, "counting.wav", OpenMode::Binary);
    SeekChannel(1, 25);
    EXPECT_EQ(ReadBytes(1, 4), std::string("\x18\x19\x1A\x1B"));
    EXPECT_EQ(TakeFileError(), 0);
    // The system refuses a negative offset (ERROR_NEGATIVE_SEEK) and the file pointer stays.
    SeekChannel(1, 0);
    EXPECT_EQ(TakeFileError(), BadSystemName);
    EXPECT_EQ(ReadBytes(1, 2), std::string("\x1C\x1D"));
    SeekChannel(1, 1000);
    EXPECT_EQ(TakeFileError(), 0);
    EXPECT_EQ(ReadBytes(1, 4), "");
    EXPECT_EQ(TakeFileError(), 0);
}

struct ArrayReadCase {
    const char* Label;
    std::size_t FileSize;
    std::int32_t Asked;
    std::int32_t ExpectedCount;  // whole elements read
    std::size_t BytesFromFile;   // the rest of the array must be 0
};

TEST_F(ChannelTest, ArrayReadsFillFromTheFileAndZeroTheRest) {
    const ArrayReadCase cases[] = {
        {"three whole elements", 50, 10, 3, 6},
        {"two whole elements and a low byte", 49, 10, 2, 5},
        {"end of file at the position", 44, 10, 0, 0},
        {"fewer asked than the array holds", 200, 4, 4, 8},
        {"negative count asks for the whole array", 200, -1, 10, 20},
    };
    for (const ArrayReadCase& c : cases) {
        const std::string content = CountingBytes(c.FileSize);
        WriteWholeFile("samples.wav", content);
        TypedArray array = CreateArray(ElementType::SignedInt16, 10);
        ASSERT_NE(array.Storage, nullptr);
        std::memset(array.Storage, 0x55, 20);
        OpenChannel(1, "samples.wav", OpenMode::Binary);
        EXPECT_EQ(ReadArray(1, 45, array, c.Asked), c.ExpectedCount) << c.Label;
        const std::size_t asked = c.Asked < 0 ? 20 : static_cast<std::size_t>(c.Asked) * 2;
        for (std::size_t i = 0; i < asked; ++i) {
            const unsigned char expected =
                i < c.BytesFromFile ? static_cast<unsigned char>(content[44 + i]) : 0;
            EXPECT_EQ(array.Storage[i], expected) << c.Label << ", byte " << i;
        }
        // The read goes on after the bytes that arrived.
        EXPECT_EQ(ReadBytes(1, 1), c.FileSize > 44 + c.BytesFromFile
                                       ? content.substr(44 + c.BytesFromFile, 1)
                                       : std::string())
            << c.Label;
        CloseChannel(1);
        ReleaseArray(array);
        EXPECT_EQ(TakeFileError(), 0) << c.Label;
    }
}

TEST_F(ChannelTest, ArrayReadPositionBelowOneGivesBadPosition) {
    WriteWholeFile("samples.wav", CountingBytes(60));
    TypedArray array = CreateArray(ElementType::UnsignedByte, 4);
    OpenChannel(1, "samples.wav", OpenMode::Binary);
    EXPECT_EQ(ReadArray(1, 0, array, 4), 0);
    EXPECT_EQ(TakeFileError(), BadPosition);
    ReleaseArray(array);
}

TEST_F(ChannelTest, OutputEmptiesTheFileAndWritesItemsAndLineEnds) {
    WriteWholeFile("take1.sig", std::string(5000, 'x'));
    OpenChannel(1, "take1.sig", OpenMode::Output);
    EXPECT_EQ(TakeFileError(), 0);
    const char* items[] = {"1", "-.5", "0"};
    for (const char* item : items) {
        WriteItem(1, item);
        EndLine(1);
    }
    CloseChannel(1);
    EXPECT_EQ(TakeFileError(), 0);
    EXPECT_EQ(ReadWholeFile("take1.sig"),
              std::string("\x31\x0D\x0A\x2D\x2E\x35\x0D\x0A\x30\x0D\x0A"));
}

TEST_F(ChannelTest, TheNullDeviceIsADevice) {
    OpenChannel(1, "NUL", OpenMode::Binary);
    ASSERT_EQ(TakeFileError(), 0);
    SeekChannel(1, 1);
    EXPECT_EQ(TakeFileError(), WrongModeOrKind);
    TypedArray array = CreateArray(ElementType::UnsignedByte, 4);
    ReadArray(1, 1, array, 4);
    EXPECT_EQ(TakeFileError(), WrongModeOrKind);
    ReleaseArray(array);
    CloseChannel(1);
    OpenChannel(1, "NUL", OpenMode::Output);
    WriteItem(1, "123");
    EndLine(1);
    CloseChannel(1);
    EXPECT_EQ(TakeFileError(), 0);
}

TEST_F(ChannelTest, SameFileComparesWhatTheNamesDenote) {
    WriteWholeFile("take1.wav", "RIFF");
    WriteWholeFile("other.wav", "RIFF");
    ASSERT_TRUE(CreateDirectoryA("folder", nullptr));
    EXPECT_TRUE(SameFile("take1.wav", "TAKE1.WAV"));
    EXPECT_TRUE(SameFile("take1.wav", ".\\take1.wav"));
    EXPECT_TRUE(SameFile("take1.wav", "folder\\..\\take1.wav"));
    EXPECT_FALSE(SameFile("take1.wav", "other.wav"));
    EXPECT_FALSE(SameFile("take1.wav", "absent.wav"));
    EXPECT_FALSE(SameFile("absent.wav", "absent.wav"));
    // A file that a channel holds alone can still be compared.
    OpenChannel(1, "take1.wav", OpenMode::Binary);
    EXPECT_TRUE(SameFile("take1.wav", "Take1.Wav"));
    CloseChannel(1);
    EXPECT_EQ(TakeFileError(), 0);
}

TEST_F(ChannelTest, FileCallsLeaveTheErrorModeAsTheyFoundIt) {
    WriteWholeFile("take1.wav", CountingBytes(100));
    const UINT errorMode = SetErrorMode(0);

    OpenChannel(1, "absent.wav", OpenMode::Test);
    OpenChannel(1, "take1.wav", OpenMode::Test);
    CloseChannel(1);
    OpenChannel(1, "take1.wav", OpenMode::Binary);
    ReadBytes(1, 4);
    SeekChannel(1, 25);
    TypedArray array = CreateArray(ElementType::Double, 4);
    ReadArray(1, 45, array, 4);
    ReleaseArray(array);
    CloseChannel(1);
    OpenChannel(1, "take1.sig", OpenMode::Output);
    WriteItem(1, "1");
    EndLine(1);
    CloseChannel(1);
    SameFile("take1.wav", "take1.sig");

    const UINT modeAfter = GetErrorMode();
    SetErrorMode(errorMode);
    EXPECT_EQ(modeAfter, 0u);
    EXPECT_EQ(TakeFileError(), FileNotFound);
}

TEST(TypedArrayTest, StorageIsZeroFilledSystemMemoryOfTheExactSize) {
    TypedArray array = CreateArray(ElementType::FixedString3, 1000);
    ASSERT_NE(array.Storage, nullptr);
    EXPECT_EQ(array.Count, 1000u);
    EXPECT_EQ(GlobalSize(array.Storage), 3000u);
    for (std::size_t i = 0; i < 3000; ++i) ASSERT_EQ(array.Storage[i], 0) << "byte " << i;
    ReleaseArray(array);
    EXPECT_EQ(array.Storage, nullptr);
    EXPECT_EQ(array.Count, 0u);
    ReleaseArray(array);  // without storage: left alone
    EXPECT_EQ(TakeFileError(), 0);
}

TEST(TypedArrayTest, CountsOfZeroOrBelowAndSizesBeyond32BitsGiveBadSize) {
    for (std::int32_t n : {0, -1}) {
        TypedArray array = CreateArray(ElementType::SignedInt16, n);
        EXPECT_EQ(array.Storage, nullptr);
        EXPECT_EQ(TakeFileError(), BadSize);
    }
    TypedArray huge = CreateArray(ElementType::Double, 0x20000000);
    EXPECT_EQ(huge.Storage, nullptr);
    EXPECT_EQ(TakeFileError(), BadSize);
}

}  // namespace
