// Reading, moving and writing on open channels: partial reads, positions counted from 1,
// unbuffered line output and the failures of full disks, size limits and broken pipes.
#include <fcntl.h>

#include <cstring>

#include "files/byte_string.h"
#include "files/channels.h"
#include "files/file_error.h"
#include "files/typed_array.h"
#include "platform/ending_signals.h"
#include "tests/files/file_test_support.h"

namespace {

using ChannelIoTest = FileTest;

TEST_F(ChannelIoTest, ReadsAtTheEndOfTheFileAreShortOrEmptyWithoutError) {
    const std::string path = PathOf("short.wav");
    WriteWholeFile(path, std::string("RIFF\x34\x12", 6));
    OpenChannel(1, path, OpenMode::Binary);
    EXPECT_EQ(ReadBytes(1, 4), "RIFF");
    ByteString last = ReadBytes(1, 4);
    EXPECT_EQ(last, "\x34\x12");
    EXPECT_EQ(BytesToInt32(last), 0x1234);
    ByteString none = ReadBytes(1, 4);
    EXPECT_EQ(none, "");
    EXPECT_EQ(BytesToInt32(none), 0);
    EXPECT_EQ(BytesToInt16(none), 0);
    EXPECT_EQ(FirstByte(none), 0);
    EXPECT_EQ(ReadBytes(1, 0), "");
    EXPECT_EQ(TakeFileError(), 0);
}

TEST_F(ChannelIoTest, SeekPositionsCountFromOne) {
    const std::string path = PathOf("counting.wav");
    WriteWholeFile(path, CountingBytes(40));
    OpenChannel(1, path, OpenMode::Binary);
    SeekChannel(1, 25);
    EXPECT_EQ(ReadBytes(1, 4), std::string("\x18\x19\x1A\x1B"));
    EXPECT_EQ(TakeFileError(), 0);

    // Below 1 the system refuses the move and the next read goes on where the last one ended.
    SeekChannel(1, 0);
    EXPECT_EQ(TakeFileError(), BadSystemName);
    EXPECT_EQ(ReadBytes(1, 2), std::string("\x1C\x1D"));

    SeekChannel(1, 1000);
    EXPECT_EQ(TakeFileError(), 0);
    EXPECT_EQ(ReadBytes(1, 4), "");
    EXPECT_EQ(TakeFileError(), 0);

    SeekChannel(1, 1);
    EXPECT_EQ(ReadBytes(1, 1), std::string(1, '\0'));
}

struct ArrayReadCase {
    const char* Label;
    std::size_t FileSize;
    std::int32_t Asked;          // elements asked for
    std::int32_t ExpectedCount;  // whole elements read
    std::size_t BytesFromFile;   // the rest of the array must be 0
};

TEST_F(ChannelIoTest, ArrayReadsFillFromTheFileAndZeroTheRest) {
    const ArrayReadCase cases[] = {
        {"three whole elements", 50, 10, 3, 6},
        {"two whole elements and a low byte", 49, 10, 2, 5},
        {"end of file at the position", 44, 10, 0, 0},
        {"fewer asked than the array holds", 200, 4, 4, 8},
        {"negative count asks for the whole array", 200, -1, 10, 20},
        {"more asked than the array holds", 200, 50, 10, 20},
    };
    for (const ArrayReadCase& c : cases) {
        const std::string path = PathOf("samples.wav");
        const std::string content = CountingBytes(c.FileSize);
        WriteWholeFile(path, content);
        TypedArray array = CreateArray(ElementType::SignedInt16, 10);
        ASSERT_NE(array.Storage, nullptr);
        // Stale bytes where the read must write zeros.
        std::memset(array.Storage, 0xAA, 20);
        OpenChannel(1, path, OpenMode::Binary);
        EXPECT_EQ(ReadArray(1, 45, array, c.Asked), c.ExpectedCount) << c.Label;
        EXPECT_EQ(TakeFileError(), 0) << c.Label;
        std::size_t asked = std::min<std::uint32_t>(static_cast<std::uint32_t>(c.Asked), 10) * 2;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(array.Storage), c.BytesFromFile),
                  content.substr(44, c.BytesFromFile))
            << c.Label;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(array.Storage) + c.BytesFromFile,
                              asked - c.BytesFromFile),
                  std::string(asked - c.BytesFromFile, '\0'))
            << c.Label;
        // The offset moved by the bytes read: the next read follows them.
        EXPECT_EQ(ReadBytes(1, 1), content.substr(44 + c.BytesFromFile, 1)) << c.Label;
        CloseChannel(1);
        ReleaseArray(array);
    }
}

TEST_F(ChannelIoTest, ArrayReadPositionBelowOneGivesBadPosition) {
    const std::string path = PathOf("samples.wav");
    WriteWholeFile(path, CountingBytes(60));
    TypedArray array = CreateArray(ElementType::UnsignedByte, 4);
    OpenChannel(1, path, OpenMode::Binary);
    EXPECT_EQ(ReadArray(1, 0, array, 4), 0);
    EXPECT_EQ(TakeFileError(), BadPosition);
    ReleaseArray(array);
}

TEST_F(ChannelIoTest, ArrayWithoutStorageReadsNothing) {
    const std::string path = PathOf("samples.wav");
    WriteWholeFile(path, CountingBytes(60));
    TypedArray array = CreateArray(ElementType::SignedInt16, 0);
    EXPECT_EQ(TakeFileError(), BadSize);
    OpenChannel(1, path, OpenMode::Binary);
    EXPECT_EQ(ReadArray(1, 45, array, 10), 0);
    EXPECT_EQ(TakeFileError(), 0);
    ReleaseArray(array);
    EXPECT_EQ(array.Storage, nullptr);
}

TEST_F(ChannelIoTest, OutputEmptiesTheFileAndWritesItemsAndLineEnds) {
    const std::string path = PathOf("take1.sig");
    WriteWholeFile(path, std::string(5000, 'x'));
    OpenChannel(1, path, OpenMode::Output);
    EXPECT_EQ(ReadWholeFile(path), "");
    const char* items[] = {"1", "-.5", "0"};
    for (const char* item : items) {
        WriteItem(1, item);
        EndLine(1);
    }
    // Nothing is held back: the bytes are in the file before the close.
    EXPECT_EQ(ReadWholeFile(path), "1\r\n-.5\r\n0\r\n");
    CloseChannel(1);
    EXPECT_EQ(TakeFileError(), 0);
    EXPECT_EQ(ReadWholeFile(path), std::string("\x31\x0D\x0A\x2D\x2E\x35\x0D\x0A\x30\x0D\x0A"));
}

TEST_F(ChannelIoTest, WritingToAFullDeviceGivesDiskFullForEachWrite) {
    OpenChannel(1, "/dev/full", OpenMode::Output);
    ASSERT_EQ(TakeFileError(), 0);
    WriteItem(1, "1");
    EXPECT_EQ(TakeFileError(), DiskFull);
    EndLine(1);
    EXPECT_EQ(TakeFileError(), DiskFull);
}

// Under a file-size limit of 5 bytes: a 7-byte item is cut short (DiskFull), the line end after
// it is refused (DiskFull). With SIGXFSZ left at its default, the program's start keeps it from
// ending the process.
TEST_F(ChannelIoTest, WritingPastTheFileSizeLimitGivesDiskFull) {
    const std::string path = PathOf("limited.sig");
    for (bool ignoreSignal : {true, false}) {
        pid_t pid = fork();
        if (pid == 0) {
            signal(SIGXFSZ, ignoreSignal ? SIG_IGN : SIG_DFL);
            platform::KeepWriteFailuresFromEndingProcess();
            rlimit limit{5, RLIM_INFINITY};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                _exit(ChildSetupFailed);
            }
            OpenChannel(1, path, OpenMode::Output);
            if (TakeFileError() != 0) _exit(1);
            WriteItem(1, "1234567");
            if (TakeFileError() != DiskFull) _exit(2);
            EndLine(1);
            if (TakeFileError() != DiskFull) _exit(3);
            CloseChannel(1);
            _exit(TakeFileError());
        }
        EXPECT_EQ(WaitForChild(pid), 0) << (ignoreSignal ? "SIGXFSZ ignored" : "SIGXFSZ default");
        EXPECT_EQ(ReadWholeFile(path), "12345");
    }
}

TEST_F(ChannelIoTest, WritingToAPipeNobodyReadsFailsWithoutEndingTheProcess) {
    const std::string path = PathOf("fifo");
    ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
    pid_t pid = fork();
    if (pid == 0) {
        platform::KeepWriteFailuresFromEndingProcess();  // as the program's start does
        int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
        OpenChannel(1, path, OpenMode::Output);
        if (reader == -1 || TakeFileError() != 0) _exit(ChildSetupFailed);
        WriteItem(1, "1");
        close(reader);
        WriteItem(1, "2");
        _exit(TakeFileError());
    }
    EXPECT_EQ(WaitForChild(pid), BadSystemName);
}

}  // namespace
