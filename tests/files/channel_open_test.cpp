// Opening and closing channels: the three modes against real files, folders, FIFOs, sockets
// and devices, exclusive access, and the sticky error number.
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>

#include "files/channels.h"
#include "files/file_error.h"
#include "tests/files/file_test_support.h"

namespace {

class ChannelOpenTest : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        WriteWholeFile(PathOf("plain.wav"), "RIFF....WAVE");
        ASSERT_EQ(mkdir(PathOf("folder").c_str(), 0755), 0);
        ASSERT_EQ(mkfifo(PathOf("fifo").c_str(), 0666), 0);
        MakeSocket(PathOf("socket"));
    }

    void TearDown() override {
        if (SocketHandle != -1) {
            close(SocketHandle);
        }
        FileTest::TearDown();
    }

    void MakeSocket(const std::string& path) {
        SocketHandle = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_NE(SocketHandle, -1);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ASSERT_LT(path.size(), sizeof address.sun_path);
        std::memcpy(address.sun_path, path.data(), path.size());
        ASSERT_EQ(bind(SocketHandle, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }

    int SocketHandle = -1;
};

struct OpenCase {
    const char* Label;
    const char* Name;  // inside the test's folder; absolute when it starts with '/'
    OpenMode Mode;
    int Expected;  // the error number the open sets
};

// Every open runs in a child, so an open that hung would be seen as a timeout, not a hang.
const OpenCase OpenCases[] = {
    // The test open refuses everything that is not a regular file it may read.
    {"test: missing file", "absent.wav", OpenMode::Test, FileNotFound},
    {"test: missing folder", "absent/take1.wav", OpenMode::Test, PathNotFound},
    {"test: missing folder two deep", "absent/deeper/take1.wav", OpenMode::Test, PathNotFound},
    {"test: file used as a folder", "plain.wav/take1.wav", OpenMode::Test, PathNotFound},
    {"test: empty name", "", OpenMode::Test, BadFileName},
    {"test: star", "take*.wav", OpenMode::Test, BadFileName},
    {"test: question mark", "take?.wav", OpenMode::Test, BadFileName},
    {"test: folder", "folder", OpenMode::Test, AccessRefused},
    {"test: FIFO without a writer", "fifo", OpenMode::Test, AccessRefused},
    {"test: socket", "socket", OpenMode::Test, AccessRefused},
    {"test: device node", "/dev/null", OpenMode::Test, AccessRefused},
    {"test: regular file", "plain.wav", OpenMode::Test, 0},
    // Binary and output opens take devices, but not folders or missing folders.
    {"binary: missing folder", "absent/take1.wav", OpenMode::Binary, PathNotFound},
    {"binary: folder", "folder", OpenMode::Binary, AccessRefused},
    {"binary: FIFO refuses the move to offset 0", "fifo", OpenMode::Binary, WrongModeOrKind},
    {"binary: device node", "/dev/null", OpenMode::Binary, 0},
    {"output: missing folder", "absent/take1.sig", OpenMode::Output, PathNotFound},
    {"output: folder", "folder", OpenMode::Output, AccessRefused},
    {"output: FIFO without a reader", "fifo", OpenMode::Output, DeviceUnavailable},
    {"output: socket", "socket", OpenMode::Output, DeviceUnavailable},
    {"output: device node", "/dev/null", OpenMode::Output, 0},
};

TEST_F(ChannelOpenTest, EachModeSetsTheErrorNumberOfItsFailure) {
    for (const OpenCase& c : OpenCases) {
        std::string name = c.Name[0] == '/' || c.Name[0] == '\0' ? c.Name : PathOf(c.Name);
        EXPECT_EQ(ErrorOfOpenInChild(name, c.Mode), c.Expected) << c.Label;
    }
}

TEST_F(ChannelOpenTest, NoDescriptorLeftGivesTooManyFiles) {
    pid_t pid = fork();
    if (pid == 0) {
        rlimit none{0, 0};
        if (setrlimit(RLIMIT_NOFILE, &none) != 0) {
            _exit(ChildSetupFailed);
        }
        OpenChannel(1, PathOf("plain.wav"), OpenMode::Test);
        _exit(TakeFileError());
    }
    EXPECT_EQ(WaitForChild(pid), TooManyFiles);
}

TEST_F(ChannelOpenTest, AFailedOpenLeavesTheChannelFree) {
    OpenChannel(1, PathOf("folder"), OpenMode::Test);
    EXPECT_EQ(TakeFileError(), AccessRefused);
    OpenChannel(1, PathOf("plain.wav"), OpenMode::Binary);
    // Not ChannelAlreadyOpen: nothing of the failed open stayed behind.
    EXPECT_EQ(TakeFileError(), 0);
    EXPECT_EQ(ReadBytes(1, 4), "RIFF");
}

TEST_F(ChannelOpenTest, TheNumberOfAFailedOpenOutlivesLaterSuccesses) {
    OpenChannel(1, PathOf("absent.wav"), OpenMode::Test);
    OpenChannel(1, PathOf("plain.wav"), OpenMode::Test);
    CloseChannel(1);
    OpenChannel(1, PathOf("plain.wav"), OpenMode::Binary);
    ReadBytes(1, 4);
    CloseChannel(1);
    OpenChannel(1, PathOf("plain.wav"), OpenMode::Test);
    EXPECT_EQ(TakeFileError(), FileNotFound);
    EXPECT_EQ(TakeFileError(), 0);  // taking it reset it
    EXPECT_EQ(TakeFileError(), 0);
}

TEST_F(ChannelOpenTest, ALaterFailureReplacesAnEarlierOne) {
    OpenChannel(1, PathOf("absent.wav"), OpenMode::Test);
    OpenChannel(1, PathOf("folder"), OpenMode::Test);
    EXPECT_EQ(TakeFileError(), AccessRefused);
}

TEST_F(ChannelOpenTest, TestAndBinaryOpensLeaveTheFileAsItWas) {
    const std::string content = CountingBytes(300);
    const std::string path = PathOf("take1.wav");
    WriteWholeFile(path, content);
    OpenChannel(1, path, OpenMode::Test);
    CloseChannel(1);
    OpenChannel(1, path, OpenMode::Binary);
    ReadBytes(1, 4);
    SeekChannel(1, 200);
    ReadBytes(1, 200);
    CloseChannel(1);
    EXPECT_EQ(TakeFileError(), 0);
    EXPECT_EQ(ReadWholeFile(path), content);
}

TEST_F(ChannelOpenTest, BinaryOpenOfAMissingNameFailsAndCreatesNothing) {
    const std::string path = PathOf("new.wav");
    OpenChannel(1, path, OpenMode::Binary);
    EXPECT_EQ(TakeFileError(), FileNotFound);
    struct stat status;
    EXPECT_NE(stat(path.c_str(), &status), 0);
}

TEST_F(ChannelOpenTest, BinaryOpenOfAReadOnlyFileSucceeds) {
    const std::string path = PathOf("locked.wav");
    WriteWholeFile(path, "RIFFWAVE");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    pid_t pid = fork();
    if (pid == 0) {
        if (!DropToUnprivilegedUser()) {
            _exit(ChildSetupFailed);
        }
        OpenChannel(1, path, OpenMode::Binary);
        std::uint8_t openError = TakeFileError();
        if (openError != 0) {
            _exit(openError);
        }
        bool read = ReadBytes(1, 4) == "RIFF" && ReadBytes(1, 8) == "WAVE";
        CloseChannel(1);
        _exit(read && TakeFileError() == 0 ? 0 : ChildCheckFailed);
    }
    EXPECT_EQ(WaitForChild(pid), 0);
    EXPECT_EQ(ReadWholeFile(path), "RIFFWAVE");
}

TEST_F(ChannelOpenTest, PermissionRefusalsGiveAccessRefused) {
    WriteWholeFile(PathOf("unreadable.wav"), "RIFF");
    ASSERT_EQ(chmod(PathOf("unreadable.wav").c_str(), 0200), 0);
    // Closed to its owner as well, so the refusal holds for a run that is not root.
    ASSERT_EQ(mkdir(PathOf("closed").c_str(), 0555), 0);
    struct Refusal {
        const char* Label;
        const char* Name;
        OpenMode Mode;
    };
    const Refusal refusals[] = {
        {"test open of a file without read permission", "unreadable.wav", OpenMode::Test},
        {"output open creating in a folder without write permission", "closed/new.sig",
         OpenMode::Output},
    };
    for (const Refusal& r : refusals) {
        pid_t pid = fork();
        if (pid == 0) {
            if (!DropToUnprivilegedUser()) {
                _exit(ChildSetupFailed);
            }
            OpenChannel(1, PathOf(r.Name), r.Mode);
            _exit(TakeFileError());
        }
        EXPECT_EQ(WaitForChild(pid), AccessRefused) << r.Label;
    }
}

TEST_F(ChannelOpenTest, RefusedOutputOpenLeavesNothingToWriteOrClose) {
    const std::string path = PathOf("take1.sig");
    WriteWholeFile(path, "old lines");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    pid_t pid = fork();
    if (pid == 0) {
        if (!DropToUnprivilegedUser()) {
            _exit(ChildSetupFailed);
        }
        // Each step's error number, in order; the exit code names the first step that differs.
        OpenChannel(1, path, OpenMode::Output);
        if (TakeFileError() != AccessRefused) _exit(1);
        WriteItem(1, "0.5");
        if (TakeFileError() != ChannelNotOpen) _exit(2);
        EndLine(1);
        if (TakeFileError() != ChannelNotOpen) _exit(3);
        CloseChannel(1);
        if (TakeFileError() != 0) _exit(4);
        _exit(0);
    }
    EXPECT_EQ(WaitForChild(pid), 0);
    EXPECT_EQ(ReadWholeFile(path), "old lines");
}

TEST_F(ChannelOpenTest, AFileHeldByAnotherRunCannotBeOpenedOrEmptied) {
    const std::string path = PathOf("take1.wav");
    WriteWholeFile(path, "RIFF");
    HeldOpen held = HoldOpenInChild(path, OpenMode::Test);
    ASSERT_EQ(held.OpenError, 0);
    for (OpenMode mode : {OpenMode::Test, OpenMode::Binary, OpenMode::Output}) {
        OpenChannel(1, path, mode);
        EXPECT_EQ(TakeFileError(), AccessRefused) << "mode " << static_cast<int>(mode);
    }
    EXPECT_EQ(ReadWholeFile(path), "RIFF");  // the refused output open emptied nothing
    EXPECT_EQ(LetGo(held), 0);

    OpenChannel(1, path, OpenMode::Test);
    EXPECT_EQ(TakeFileError(), 0);
}

TEST_F(ChannelOpenTest, AFileHeldOpenHereCannotBeOpenedOnAnotherChannel) {
    const std::string path = PathOf("plain.wav");
    OpenChannel(1, path, OpenMode::Binary);
    OpenChannel(2, path, OpenMode::Test);
    EXPECT_EQ(TakeFileError(), AccessRefused);
    EXPECT_EQ(ReadBytes(1, 4), "RIFF");  // channel 1 is untouched
    CloseChannel(1);
    OpenChannel(2, path, OpenMode::Test);
    EXPECT_EQ(TakeFileError(), 0);
}

// A close of ours whose lock outlives it for a moment, as it does while another process (a
// monitor reading /proc) holds a reference to the open file: the next open, here the header
// check's binary open after its test open, waits for the lock rather than refuse the file.
TEST_F(ChannelOpenTest, ALockThatOutlivesItsCloseForAMomentDoesNotRefuseTheNextOpen) {
    const std::string path = PathOf("plain.wav");
    OpenChannel(1, path, OpenMode::Test);
    ASSERT_EQ(TakeFileError(), 0);
    int release[2];
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {  // keeps the channel's open file, inherited, until the pipe closes
        close(release[1]);
        char ignored;
        while (read(release[0], &ignored, 1) > 0) {
        }
        for (int descriptor = 3; descriptor < 1024; ++descriptor) close(descriptor);
        _exit(0);
    }
    close(release[0]);
    CloseChannel(1);
    close(release[1]);  // the child's reference goes while the open below begins
    OpenChannel(1, path, OpenMode::Binary);
    EXPECT_EQ(TakeFileError(), 0);
    CloseChannel(1);
    EXPECT_EQ(WaitForChild(child), 0);
}

TEST_F(ChannelOpenTest, ClosingAFreeChannelLeavesTheErrorNumberAlone) {
    CloseChannel(1);
    EXPECT_EQ(TakeFileError(), 0);
    OpenChannel(1, PathOf("absent.wav"), OpenMode::Test);
    CloseChannel(1);
    CloseChannel(3);
    EXPECT_EQ(TakeFileError(), FileNotFound);
}

TEST_F(ChannelOpenTest, OnlyTheFirst255BytesOfANameAreUsed) {
    std::string longName = Folder + "/";
    longName.append(300 - longName.size(), 'n');
    ASSERT_EQ(longName.size(), 300u);
    WriteWholeFile(longName.substr(0, 255), "cut here");
    OpenChannel(1, longName, OpenMode::Test);
    EXPECT_EQ(TakeFileError(), 0);
    CloseChannel(1);
    OpenChannel(1, longName, OpenMode::Binary);
    EXPECT_EQ(ReadBytes(1, 100), "cut here");
    EXPECT_TRUE(SameFile(longName, longName.substr(0, 255)));
    EXPECT_EQ(TakeFileError(), 0);
}

TEST_F(ChannelOpenTest, ChannelNumbersAndModesAreChecked) {
    const std::string path = PathOf("plain.wav");
    OpenChannel(-1, path, OpenMode::Test);
    EXPECT_EQ(TakeFileError(), ChannelNotOpen) << "negative channel";

    OpenChannel(1, path, OpenMode::Binary);
    OpenChannel(1, PathOf("absent.wav"), OpenMode::Test);
    EXPECT_EQ(TakeFileError(), ChannelAlreadyOpen) << "channel open already";
    EXPECT_EQ(ReadBytes(1, 4), "RIFF") << "the open channel is untouched";

    WriteItem(1, "1");
    EXPECT_EQ(TakeFileError(), WrongModeOrKind) << "write on a binary channel";
    EndLine(1);
    EXPECT_EQ(TakeFileError(), WrongModeOrKind) << "line end on a binary channel";
    CloseChannel(1);

    OpenChannel(1, path, OpenMode::Test);
    EXPECT_EQ(ReadBytes(1, 4), "");
    EXPECT_EQ(TakeFileError(), WrongModeOrKind) << "read on a test channel";
    CloseChannel(1);

    TypedArray array = CreateArray(ElementType::UnsignedByte, 4);
    OpenChannel(1, "/dev/null", OpenMode::Binary);
    ASSERT_EQ(TakeFileError(), 0);
    SeekChannel(1, 1);
    EXPECT_EQ(TakeFileError(), WrongModeOrKind) << "seek on a device";
    EXPECT_EQ(ReadArray(1, 1, array, 4), 0);
    EXPECT_EQ(TakeFileError(), WrongModeOrKind) << "array read from a device";
    CloseChannel(1);

    ReadBytes(2, 1);
    EXPECT_EQ(TakeFileError(), ChannelNotOpen) << "read on a free channel";
    SeekChannel(2, 1);
    EXPECT_EQ(TakeFileError(), ChannelNotOpen) << "seek on a free channel";
    EXPECT_EQ(ReadArray(2, 1, array, 4), 0);
    EXPECT_EQ(TakeFileError(), ChannelNotOpen) << "array read on a free channel";
    ReleaseArray(array);
}

TEST_F(ChannelOpenTest, SameFileComparesWhatTheNamesDenote) {
    const std::string path = PathOf("plain.wav");
    ASSERT_EQ(link(path.c_str(), PathOf("other name.wav").c_str()), 0);
    EXPECT_TRUE(SameFile(path, PathOf("other name.wav")));
    EXPECT_TRUE(SameFile(path, PathOf("folder/../plain.wav")));
    EXPECT_FALSE(SameFile(path, PathOf("fifo")));
    EXPECT_FALSE(SameFile(path, PathOf("absent.wav")));
    EXPECT_FALSE(SameFile(PathOf("absent.wav"), PathOf("absent.wav")));
    EXPECT_EQ(TakeFileError(), 0);
}

}  // namespace
