// The command-line mode as a script meets it: the program started with arguments, no
// terminal, lines on standard output and standard error, and the exit status.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#include "tests/e2e/child_process.h"
#include "tests/support/other_user.h"
#include "tests/support/wave_files.h"

namespace {

constexpr int Patience = 20000;

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override { Folder = EnterScratchFolder(); }
    void TearDown() override { LeaveScratchFolder(Folder); }

    static ChildResult Norvistrand(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), NORVISTRAND_BINARY);
        return RunChild(arguments, Patience);
    }

    // Names of the temporary files left in the folder.
    static int LeftOver() {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            count += entry.path().filename().string().rfind(".norvistrand-", 0) == 0;
        }
        return count;
    }

    ScratchFolder Folder;
};

std::string Wave(int samples) {
    std::vector<std::int16_t> values;
    for (int i = 0; i < samples; ++i) values.push_back(static_cast<std::int16_t>(i * 7 - 7000));
    WaveLayout layout;
    layout.Samples = Samples16(values);
    return BuildWave(layout);
}

// The arguments run as the unprivileged user when the suite runs as root.
std::vector<std::string> AsUnprivilegedUser(std::vector<std::string> arguments) {
    if (RunsAsRoot()) {
        arguments.insert(arguments.begin(), {FindExecutable("setpriv"), "--reuid=65534",
                                             "--regid=65534", "--clear-groups"});
    }
    return arguments;
}

std::ptrdiff_t Lines(const std::string& path) {
    const std::string text = ReadWholeFile(path);
    return std::count(text.begin(), text.end(), '\n');
}

TEST_F(CommandLineTest, OptionsLinesAndExitStatus) {
    WriteWholeFile("take1.wav", Wave(8000));
    WriteWholeFile("take2.wav", "RIFF....WAVEfmt ........................");

    ChildResult both = Norvistrand({"take1.wav", "take2.wav", "missing.wav"});
    EXPECT_EQ(both.ExitStatus, 1);
    EXPECT_EQ(both.Output,
              "take1.wav: 16 bits, 8000 Hz, 8000 samples, 1000 milliseconds -> take1.sig\n");
    EXPECT_EQ(both.Errors,
              "norvistrand: take2.wav: This is not a PCM format Wave file\n"
              "norvistrand: missing.wav: Specified file not found (no such file)\n"
              "norvistrand: 3 files: 1 converted, 2 refused\n");
    EXPECT_EQ(Lines("take1.sig"), 8000);

    struct Case {
        std::vector<std::string> Arguments;
        int ExitStatus;
        std::string OutputStart;
        std::string ErrorsStart;
    } const cases[] = {
        {{"-q", "take1.wav"}, 0, "", ""},
        {{"take1.wav", "--quiet"}, 0, "", ""},
        {{"--help"}, 0, "Usage: norvistrand [OPTION]... FILE...\n", ""},
        {{"-h"}, 0, "Usage: norvistrand [OPTION]... FILE...\n", ""},
        {{"--version"}, 0, "norvistrand 1.3.2\n", ""},
        {{"--frobnicate", "take1.wav"}, 2, "", "norvistrand: unknown option '--frobnicate'\n"},
        {{"-q"}, 2, "", "norvistrand: no Wave file named\n"},
        {{"--", "-q"}, 1, "", "norvistrand: -q: Specified file not found (no such file)\n"},
        {{"take1.wav", "-d"}, 2, "", "norvistrand: a folder must follow '-d'\n"},
        {{"-d", "none", "take1.wav"}, 2, "", "norvistrand: no such folder 'none'\n"},
        {{"--output-dir=take1.wav", "take1.wav"}, 2, "", "norvistrand: no such folder"},
        {{"-c", "--output-dir", ".", "take1.wav"}, 2, "", "norvistrand: -c writes no signal"},
        {{"-qT3", "take1.wav"}, 0, "", ""},
        {{"--threads=0", "take1.wav"}, 2, "", "norvistrand: not a thread count from 1 to 16 '0'"},
        {{"take1.wav", "-T"}, 2, "", "norvistrand: a thread count must follow '-T'\n"},
        {{"--out=x.sig", "take1.wav"},
         2,
         "",
         "norvistrand: ambiguous option '--out=x.sig': it could be --output or --output-dir\n"},
        {{"--quiet=1", "take1.wav"},
         2,
         "",
         "norvistrand: an argument given to an option that takes none '--quiet=1'\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Arguments.front());
        ChildResult run = Norvistrand(c.Arguments);
        EXPECT_EQ(run.ExitStatus, c.ExitStatus);
        EXPECT_EQ(run.Output.substr(0, c.OutputStart.size()), c.OutputStart);
        EXPECT_EQ(run.Errors.substr(0, c.ErrorsStart.size()), c.ErrorsStart);
    }
}

// The forms the option library gives: bundled letters, attached arguments, "--" before a name
// that looks like an option, and a lone "-" taken as standard input (here empty). -o and its
// misuses; a folder path past 255 bytes, and a name; two names that give one signal file.
TEST_F(CommandLineTest, OptionFormsOfTheLibrary) {
    WriteWholeFile("take1.wav", Wave(300));
    ASSERT_EQ(Norvistrand({"-q", "take1.wav"}).ExitStatus, 0);
    const std::string lines = ReadWholeFile("take1.sig");
    WriteWholeFile("take1.WAV", Wave(300));
    std::filesystem::create_directory("out");
    const std::string deep = "out/" + std::string(200, 'd') + "/" + std::string(100, 'e');
    std::filesystem::create_directories(deep);
    const std::string notFound = ": Specified file not found (no such file)\n";
    struct Case {
        std::vector<std::string> Arguments;
        int ExitStatus;
        std::string Output;
        std::string Errors;
        std::string Written;  // the signal file it writes, or empty
    } const cases[] = {
        {{"-qc", "take1.wav"}, 0, lines, "", {}},
        {{"-qdout", "take1.wav"}, 0, "", "", "out/take1.sig"},
        {{"take1.wav", "--output-dir=out"},
         0,
         "take1.wav: 16 bits, 8000 Hz, 300 samples, 38 milliseconds -> out/take1.sig\n",
         "",
         "out/take1.sig"},
        {{"-q", "--", "-c", "take1.wav"}, 1, "", "norvistrand: -c" + notFound, "take1.sig"},
        {{"-", "-q"}, 1, "", "norvistrand: standard input: This is not a Wave file\n", {}},
        {{"-qx", "take1.wav"}, 2, "", "norvistrand: unknown option '-x'\n", {}},
        {{"take1.wav", "-qd"}, 2, "", "norvistrand: a folder must follow '-d'\n", {}},
        {{"take1.wav", "--output-dir"},
         2,
         "",
         "norvistrand: a folder must follow '--output-dir'\n",
         {}},
        {{"-qoout/x.sig", "take1.wav"}, 0, "", "", "out/x.sig"},
        {{"take1.wav", "--output=out/x.sig"},
         0,
         "take1.wav: 16 bits, 8000 Hz, 300 samples, 38 milliseconds -> out/x.sig\n",
         "",
         "out/x.sig"},
        {{"take1.wav", "-o"}, 2, "", "norvistrand: a file name must follow '-o'\n", {}},
        {{"-o", "", "take1.wav"}, 2, "", "norvistrand: a file name must follow '-o'\n", {}},
        {{"-o", "x.sig", "take1.wav", "take1.wav"},
         2,
         "",
         "norvistrand: -o names the signal file of one FILE only\n",
         {}},
        {{"-c", "-o", "x.sig", "take1.wav"},
         2,
         "",
         "norvistrand: -c writes no signal file, so -o has no use\n",
         {}},
        {{"-d", "out", "-o", "x.sig", "take1.wav"},
         2,
         "",
         "norvistrand: -o and -d cannot both name the output\n",
         {}},
        {{"-", "-c", "-"}, 2, "", "norvistrand: standard input can be read only once\n", {}},
        {{"-q", "-d", deep, "take1.wav"}, 0, "", "", deep + "/take1.sig"},
        {{"-q", deep + "/take1.wav"},
         1,
         "",
         "norvistrand: " + deep +
             "/take1.wav: Specified file not found (name longer than 255 bytes)\n",
         {}},
        {{"-q", "take1.wav", "take1.WAV"},
         1,
         "",
         "norvistrand: take1.WAV: The signal file would overwrite that of an earlier file "
         "(take1.sig, from take1.wav)\n",
         "take1.sig"},
        {{"-o", "-", "take1.wav"}, 0, lines, "", {}},
        {{"-qo./-", "take1.wav"}, 0, "", "", "./-"},
        {{"take1.wav", "./take1.wav"},
         0,
         "take1.wav: 16 bits, 8000 Hz, 300 samples, 38 milliseconds -> take1.sig\n",
         "norvistrand: ./take1.wav: skipped: the same file as take1.wav, converted already\n",
         "take1.sig"},
        {{"-q", "take1.wav", "take1.xyz"},
         1,
         "",
         "norvistrand: take1.xyz: Specified file not found (no such file)\n",
         "take1.sig"},
    };
    const std::string hint = "Try 'norvistrand --help' for more information.\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Arguments.front());
        for (const char* old : {"take1.sig", "out/take1.sig", "out/x.sig", "x.sig", "-"}) {
            std::filesystem::remove(old);
        }
        ChildResult run = Norvistrand(c.Arguments);
        EXPECT_EQ(run.ExitStatus, c.ExitStatus);
        EXPECT_EQ(run.Output, c.Output);
        EXPECT_EQ(run.Errors.substr(0, c.Errors.size()), c.Errors);
        EXPECT_TRUE(c.ExitStatus != 2 || run.Errors.ends_with(hint));
        if (!c.Written.empty()) {
            EXPECT_EQ(ReadWholeFile(c.Written), lines);
        }
        EXPECT_FALSE(std::filesystem::exists("x.sig"));
        EXPECT_EQ(std::filesystem::exists("-"), c.Written == "./-");
    }
}

// -d: the signal files go into the folder, the wave files' own folder (here one the user may
// not write to) is only read; a second file with the same signal file is refused, and so is a
// wave file that is the signal file under another name.
TEST_F(CommandLineTest, OutputFolderBesideAReadOnlyFolder) {
    std::filesystem::create_directories("src/more");
    std::filesystem::create_directory("out");
    WriteWholeFile("src/take1.wav", Wave(300));
    WriteWholeFile("src/more/take1.wav", Wave(200));
    WriteWholeFile("src/take3.sig", Wave(100));
    std::filesystem::create_hard_link("src/take3.sig", "out/take3.sig");
    std::filesystem::permissions(".", std::filesystem::perms::all);
    std::filesystem::permissions(
        "src", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                   std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    std::filesystem::permissions("out", std::filesystem::perms::all);
    const std::string program = CopyOfProgram(NORVISTRAND_BINARY, ".");
    ASSERT_FALSE(program.empty());

    ChildResult run = RunChild(AsUnprivilegedUser({program, "--output-dir", "out", "src/take1.wav",
                                                   "src/more/take1.wav", "src/take3.sig"}),
                               Patience);
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_EQ(run.Output,
              "src/take1.wav: 16 bits, 8000 Hz, 300 samples, 38 milliseconds -> out/take1.sig\n");
    EXPECT_EQ(run.Errors,
              "norvistrand: src/more/take1.wav: The signal file would overwrite that of an "
              "earlier file (out/take1.sig, from src/take1.wav)\n"
              "norvistrand: src/take3.sig: The signal file would overwrite this Wave file\n"
              "norvistrand: 3 files: 1 converted, 2 refused\n");
    EXPECT_EQ(Lines("out/take1.sig"), 300);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("src"), {}), 3);
}

// -c: each file's lines one after the other on standard output, no file written; a reader
// that goes away ends the run quietly, with no summary.
TEST_F(CommandLineTest, LinesToStandardOutput) {
    WriteWholeFile("take1.wav", Wave(300));
    WriteWholeFile("take2.wav", Wave(50));
    ASSERT_EQ(Norvistrand({"-q", "take1.wav", "take2.wav"}).ExitStatus, 0);
    const std::string both = ReadWholeFile("take1.sig") + ReadWholeFile("take2.sig");
    std::filesystem::remove("take1.sig");
    std::filesystem::remove("take2.sig");

    ChildResult run = Norvistrand({"--stdout", "take1.wav", "take2.wav"});
    EXPECT_EQ(run.ExitStatus, 0);
    EXPECT_TRUE(run.Output == both);
    EXPECT_EQ(run.Errors, "norvistrand: 2 files: 2 converted\n");
    EXPECT_FALSE(std::filesystem::exists("take1.sig"));

    WriteWholeFile("long.wav", Wave(400000));
    ChildResult closed = RunChild({FindExecutable("bash"), "-c",
                                   "\"$0\" -c long.wav long.wav | head -c 10 >/dev/null; "
                                   "exit \"${PIPESTATUS[0]}\"",
                                   NORVISTRAND_BINARY},
                                  Patience);
    EXPECT_EQ(closed.ExitStatus, 1);
    EXPECT_EQ(closed.Errors, "");
}

// A Wave file piped in, its data size a placeholder as a pipe's writer leaves it: the same
// lines as the file's own, on standard output with no report line there, or into the file of
// -o with one; the temporary file in TMPDIR is gone after each run.
TEST_F(CommandLineTest, StandardInputFromAPipe) {
    const std::string ffmpeg = FindExecutable("ffmpeg");
    if (ffmpeg.empty()) GTEST_SKIP() << "needs ffmpeg to write a Wave file to a pipe";
    WriteWholeFile("take1.wav", Wave(3000));
    WriteWholeFile("take2.wav", Wave(30));
    ASSERT_EQ(Norvistrand({"-q", "take1.wav", "take2.wav"}).ExitStatus, 0);
    const std::string lines = ReadWholeFile("take1.sig");
    std::filesystem::create_directory("tmp");
    const std::string pipe =
        "TMPDIR=$PWD/tmp; export TMPDIR; \"$1\" -v error -i take1.wav -f wav - | ";
    struct Case {
        const char* Script;
        std::string Output;
        const char* Written;  // compared with take1.sig; or nullptr
        std::string Errors = "";
    } const cases[] = {
        {"\"$0\" - >piped.sig", "", "piped.sig"},
        {"\"$0\" --output=piped.sig -",
         "standard input: 16 bits, 8000 Hz, 3000 samples, 375 milliseconds -> piped.sig\n",
         "piped.sig"},
        {"\"$0\" take2.wav - >piped.sig", "", "piped.sig", "norvistrand: 2 files: 2 converted\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Script);
        std::filesystem::remove("piped.sig");
        ChildResult run = RunChild(
            {FindExecutable("sh"), "-c", pipe + c.Script, NORVISTRAND_BINARY, ffmpeg}, Patience);
        EXPECT_EQ(run.ExitStatus, 0);
        EXPECT_EQ(run.Output, c.Output);
        EXPECT_EQ(run.Errors, c.Errors);
        EXPECT_TRUE(ReadWholeFile(c.Written) == lines);
        EXPECT_TRUE(std::filesystem::is_empty("tmp")) << "the temporary file was left";
    }
}

// Without a controlling terminal and with nothing on standard input, the run ends by itself.
TEST_F(CommandLineTest, RunsWithoutATerminal) {
    WriteWholeFile("take1.wav", Wave(100));
    ChildResult run = RunChild(
        {FindExecutable("setsid"), "--wait", NORVISTRAND_BINARY, "-q", "take1.wav"}, Patience);
    ASSERT_TRUE(run.Ran) << run.Errors;
    EXPECT_EQ(run.ExitStatus, 0);
    EXPECT_EQ(Lines("take1.sig"), 100);
}

// The disk fills half way: the old signal file stays as it was and nothing else is left.
TEST_F(CommandLineTest, WriteFailureKeepsTheOldSignalFile) {
    WriteWholeFile("long.wav", Wave(20000));
    WriteWholeFile("long.sig", "old lines\r\n");
    ChildResult run = RunChild({FindExecutable("sh"), "-c", "ulimit -f 64; exec \"$0\" \"$@\"",
                                NORVISTRAND_BINARY, "long.wav"},
                               Patience);
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_EQ(run.Errors,
              "norvistrand: long.wav: The signal file could not be written (file too large)\n");
    EXPECT_EQ(ReadWholeFile("long.sig"), "old lines\r\n");
    EXPECT_EQ(LeftOver(), 0);
}

// A termination half way through removes the temporary file and keeps the old one. A run that
// ended before its temporary file was seen is tried again; one never seen in three runs fails,
// since every conversion writes through a temporary file.
TEST_F(CommandLineTest, TerminationRemovesTheTemporaryFile) {
    WriteWholeFile("long.wav", Wave(5000000));
    WriteWholeFile("long.sig", "old lines\r\n");
    bool caught = false;
    int status = 0;
    for (int attempt = 0; attempt < 3 && !caught; ++attempt) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            execl(NORVISTRAND_BINARY, NORVISTRAND_BINARY, "-q", "long.wav",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(Patience);
        while (LeftOver() == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        caught = LeftOver() == 1;
        kill(child, SIGTERM);
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (!caught) WriteWholeFile("long.sig", "old lines\r\n");
    }
    ASSERT_TRUE(caught) << "no temporary file was seen in three conversions";
    ASSERT_TRUE(WIFSIGNALED(status)) << "SIGTERM did not end the conversion";
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(LeftOver(), 0);
    EXPECT_EQ(ReadWholeFile("long.sig"), "old lines\r\n");
}

// How a row's folder is laid out before the run: the folder holds a.wav, readable by all.
enum class Layout {
    ReadOnlySignal,   // a.sig "old", mode 0444
    WriteOnlySignal,  // a.sig "old" of the user, mode 0200
    ClosedFolder,     // a.sig "old", mode 0666, in a folder the user cannot write to
    StickyFolder,     // a.sig "old" of root, mode 0666, in a folder of mode 1777
    OtherOwner,       // a.sig "old" of 65534:65534, mode 0640
    HardLink,         // a.sig "old", mode 0666, also named b.sig
    DanglingLink,     // a.sig a link to the missing t.sig
    NoSignal,         // no a.sig
    LongWave,         // a.wav of LongSamples samples, a.sig "old", mode 0666
};

// Enough samples that a conversion is still writing when the row's signal comes: those of
// Wave(8000), then a hole of zeros, so the file takes no room. Their lines come to about 600 MB,
// well under the row's file-size limit of about 2 GB: a slow signal must not lose the race to
// the limit.
constexpr std::int64_t LongSamples = 200000000;

// The exit status of a row's script that could not stage its signal: the conversion ended first.
constexpr int NotStaged = 98;

// What the signal file's name holds after the run.
enum class Outcome { Kept, Converted, Missing, WaveKept };

struct Row {
    const char* Label;
    Layout Setup;
    bool Unprivileged;   // run as 65534:65534 through setpriv
    const char* Script;  // run by sh in the row's folder, with the program as $0
    int ExitStatus;
    const char* Errors;
    Outcome Signal;
};

// The verdicts of the permission rows are the screen program's for the same setup.
const Row Rows[] = {
    {"read-only signal file: refused and kept, as the screen program refuses it",
     Layout::ReadOnlySignal, true, "exec \"$0\" a.wav", 1,
     "norvistrand: a.wav: The signal file could not be written (permission denied: a.sig)\n",
     Outcome::Kept},
    {"write-only signal file: converted, as by the screen program", Layout::WriteOnlySignal, true,
     "exec \"$0\" -q a.wav", 0, "", Outcome::Converted},
    {"folder the user cannot write to: written in place, as by the screen program",
     Layout::ClosedFolder, true, "exec \"$0\" -q a.wav", 0, "", Outcome::Converted},
    {"sticky folder, another user's signal file: written in place, as by the screen program",
     Layout::StickyFolder, true, "exec \"$0\" -q a.wav", 0, "", Outcome::Converted},
    {"owner and group kept", Layout::OtherOwner, false, "exec \"$0\" -q a.wav", 0, "",
     Outcome::Converted},
    {"hard link: both names see the new lines", Layout::HardLink, true, "exec \"$0\" -q a.wav", 0,
     "", Outcome::Converted},
    {"dangling link under a file-size limit: nothing left", Layout::DanglingLink, true,
     "ulimit -f 8; exec \"$0\" a.wav", 1,
     "norvistrand: a.wav: The signal file could not be written (file too large)\n",
     Outcome::Missing},
    {"standard error closed before the first refusal line: the run goes on", Layout::NoSignal, true,
     "{ sleep 0.3; \"$0\" missing.wav a.wav; echo $? >status; } 2>&1 | true; exit $(cat status)", 1,
     "", Outcome::Converted},
    {"SIGXCPU: no temporary file left", Layout::LongWave, true,
     "ulimit -f 4000000; \"$0\" -q a.wav & i=0; while [ $i -lt 2000 ] && kill -0 $! && "
     "! ls -A | grep -q norvistrand-; do sleep 0.01; i=$((i + 1)); done; "
     "ls -A | grep -q norvistrand- || exit 98; kill -XCPU $!; exec 2>/dev/null; wait $!",
     128 + SIGXCPU, "", Outcome::Kept},
    {"report line into a full device: said, with its cause", Layout::NoSignal, true,
     "exec \"$0\" a.wav >/dev/full", 1,
     "norvistrand: standard output: A report line could not be written (no space left on "
     "device)\n",
     Outcome::Converted},
    {"-c with standard output closed: a bad file descriptor", Layout::NoSignal, true,
     "exec \"$0\" -c a.wav >&-", 1,
     "norvistrand: a.wav: Standard output could not be written (bad file descriptor)\n",
     Outcome::Missing},
    {"-c into a full device: the failure is standard output's", Layout::NoSignal, true,
     "exec \"$0\" -c a.wav >/dev/full", 1,
     "norvistrand: a.wav: Standard output could not be written (no space left on device)\n",
     Outcome::Missing},
    {"-c under a file-size limit: the lines before the failure were sent, which it says",
     Layout::NoSignal, true, "ulimit -f 8; exec \"$0\" -c a.wav >lines", 1,
     "norvistrand: a.wav: Standard output could not be written (file too large; the lines before "
     "it were already sent)\n",
     Outcome::Missing},
    {"-o into a FIFO whose reader goes away: the cause is the pipe's", Layout::NoSignal, true,
     "mkfifo f; head -c 1 f >/dev/null & for i in $(seq 50); do "
     "grep -q wait_for_partner /proc/$!/wchan && break; sleep 0.1; done; exec \"$0\" -o f a.wav",
     1, "norvistrand: a.wav: The signal file could not be written (broken pipe)\n",
     Outcome::Missing},
    {"TMPDIR missing: standard input's copy fails in that folder, which it names", Layout::NoSignal,
     true, "TMPDIR=missing; export TMPDIR; exec \"$0\" - <a.wav", 1,
     "norvistrand: standard input: The Wave file could not be read (no such folder: missing/)\n",
     Outcome::Missing},
    {"TMPDIR a file: not a folder", Layout::NoSignal, true,
     "TMPDIR=a.wav; export TMPDIR; exec \"$0\" - <a.wav", 1,
     "norvistrand: standard input: The Wave file could not be read (not a folder: a.wav/)\n",
     Outcome::Missing},
    {"a stream of zeros: refused from its first bytes, before it fills TMPDIR", Layout::NoSignal,
     true,
     "mkdir t; TMPDIR=$PWD/t; export TMPDIR; ulimit -f 1024; head -c 200M /dev/zero | \"$0\" -", 1,
     "norvistrand: standard input: This is not a Wave file\n", Outcome::Missing},
    {"-o naming the file standard input is: refused, the input kept", Layout::NoSignal, true,
     "exec \"$0\" -o a.wav - <a.wav", 1,
     "norvistrand: standard input: The signal file would overwrite this Wave file\n",
     Outcome::WaveKept},
    {"standard input cut short of its data size: the counts said", Layout::NoSignal, true,
     "head -c 10044 a.wav | \"$0\" - >/dev/null", 0,
     "norvistrand: standard input: warning: the header gives 8000 samples, the file holds 5000\n",
     Outcome::Missing},
    {"SIGTERM while standard input is read: its temporary file in TMPDIR removed", Layout::NoSignal,
     true,
     "mkdir t; TMPDIR=$PWD/t; export TMPDIR; (cat a.wav; exec sleep 2) 2>/dev/null | \"$0\" - & "
     "i=0; while [ $i -lt 2000 ] && ! ls -A t | grep -q norvistrand-; do sleep 0.01; "
     "i=$((i + 1)); done; kill -TERM $!; exec 2>/dev/null; wait $!; s=$?; "
     "[ -z \"$(ls -A t)\" ] || exit 97; exit $s",
     128 + SIGTERM, "", Outcome::Missing},
};

void Prepare(const std::string& folder, Layout setup) {
    std::filesystem::create_directory(folder);
    std::string wave = Wave(8000);
    if (setup == Layout::LongWave) {
        std::string size;
        PutLittleEndian(size, 2 * LongSamples, 4);
        wave.replace(40, 4, size);
    }
    WriteWholeFile(folder + "/a.wav", wave);
    if (setup == Layout::LongWave)
        std::filesystem::resize_file(folder + "/a.wav", 44 + 2 * LongSamples);
    chmod((folder + "/a.wav").c_str(), 0644);
    chmod(folder.c_str(), 0777);
    const std::string signal = folder + "/a.sig";
    if (setup != Layout::DanglingLink && setup != Layout::NoSignal) WriteWholeFile(signal, "old");
    switch (setup) {
        case Layout::ReadOnlySignal:
            chmod(signal.c_str(), 0444);
            break;
        case Layout::WriteOnlySignal:
            chown(signal.c_str(), UnprivilegedId, UnprivilegedId);
            chmod(signal.c_str(), 0200);
            break;
        case Layout::ClosedFolder:
            chmod(signal.c_str(), 0666);
            chmod(folder.c_str(), 0755);
            break;
        case Layout::StickyFolder:
            chmod(signal.c_str(), 0666);
            chmod(folder.c_str(), 01777);
            break;
        case Layout::OtherOwner:
            chown(signal.c_str(), UnprivilegedId, UnprivilegedId);
            chmod(signal.c_str(), 0640);
            break;
        case Layout::HardLink:
            chmod(signal.c_str(), 0666);
            link(signal.c_str(), (folder + "/b.sig").c_str());
            break;
        case Layout::LongWave:
            chmod(signal.c_str(), 0666);
            break;
        case Layout::DanglingLink:
            symlink("t.sig", signal.c_str());
            break;
        case Layout::NoSignal:
            break;
    }
}

// Every row's promise, each in a folder of its own; all but one run as an unprivileged user,
// with a copy of the program beside the rows' folders.
TEST_F(CommandLineTest, KeepsItsPromisesUnderPermissionsLinksOwnersAndSignals) {
    if (!RunsAsRoot()) GTEST_SKIP() << "the rows need root to set up owners and to drop to 65534";
    ASSERT_EQ(chmod(".", 0755), 0);
    const std::string program = CopyOfProgram(NORVISTRAND_BINARY, ".");
    ASSERT_FALSE(program.empty());
    const std::string expected = [] {
        WriteWholeFile("reference.wav", Wave(8000));
        Norvistrand({"-q", "reference.wav"});
        return ReadWholeFile("reference.sig");
    }();
    ASSERT_FALSE(expected.empty());
    int number = 0;
    for (const Row& row : Rows) {
        SCOPED_TRACE(row.Label);
        const std::string folder = "row" + std::to_string(++number);
        Prepare(folder, row.Setup);
        std::vector<std::string> arguments = {FindExecutable("sh"), "-c",
                                              "cd \"$1\" || exit 99; " + std::string(row.Script),
                                              program, folder};
        if (row.Unprivileged) arguments = AsUnprivilegedUser(arguments);
        const ChildResult run = RunChild(arguments, Patience);
        if (run.ExitStatus == NotStaged) {
            std::cout << "row skipped, the conversion ended before the signal: " << row.Label
                      << "\n";
            continue;
        }
        EXPECT_EQ(run.ExitStatus, row.ExitStatus);
        EXPECT_EQ(run.Errors, row.Errors);
        const std::string signal = ReadWholeFile(folder + "/a.sig");
        switch (row.Signal) {
            case Outcome::Kept:
                EXPECT_EQ(signal, "old");
                break;
            case Outcome::Converted:
                EXPECT_TRUE(row.Setup == Layout::LongWave || signal == expected);
                break;
            case Outcome::Missing:
                EXPECT_FALSE(std::filesystem::exists(folder + "/t.sig"));
                break;
            case Outcome::WaveKept:
                EXPECT_TRUE(ReadWholeFile(folder + "/a.wav") == Wave(8000));
                break;
        }
        int left = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            left += entry.path().filename().string().rfind(".norvistrand-", 0) == 0;
        }
        EXPECT_EQ(left, 0) << "temporary files left";
        struct stat status {};
        lstat((folder + "/a.sig").c_str(), &status);
        if (row.Setup == Layout::OtherOwner) {
            EXPECT_EQ(status.st_uid, UnprivilegedId);
            EXPECT_EQ(status.st_gid, UnprivilegedId);
            EXPECT_EQ(status.st_mode & 07777, 0640u);
        }
        if (row.Setup == Layout::HardLink) {
            EXPECT_EQ(ReadWholeFile(folder + "/b.sig"), expected);
        }
        if (row.Setup == Layout::DanglingLink) {
            EXPECT_TRUE(S_ISLNK(status.st_mode));
        }
    }
}

}  // namespace

// Batches: names from lists (a line's CR dropped, blank lines skipped; NUL-ended under -0),
// each in its list's place among the FILEs; a part takes positions I, I+N... of them; -u
// skips a file whose signal file is not older. Names with spaces, a newline and a leading -.
TEST_F(CommandLineTest, ListsPartsAndUpdates) {
    const std::string waves[] = {"a b.wav", "-lead.wav", "new\nline.wav", "c.wav", "d.wav"};
    for (const std::string& wave : waves) WriteWholeFile(wave, Wave(200));
    WriteWholeFile("lines.list", "a b.wav\n-lead.wav\r\n\n");
    WriteWholeFile("nul.list", std::string("new\nline.wav\0c.wav\0", 20));
    WriteWholeFile("empty.list", "");
    struct Case {
        std::vector<std::string> Arguments;
        std::string Input;  // a list to give as standard input, or empty
        int ExitStatus;
        std::vector<std::string> Written;  // every signal file there after the run, sorted
        std::string Errors;
    } const cases[] = {
        {{"-q", "d.wav", "--files-from=lines.list"}, "", 0, {"-lead.sig", "a b.sig", "d.sig"}, ""},
        {{"--files-from=-", "-0", "d.wav"},
         "nul.list",
         0,
         {"c.sig", "d.sig", "new\nline.sig"},
         "norvistrand: 3 files: 3 converted\n"},
        {{"--files-from=lines.list", "d.wav", "--part=1/2"},
         "",
         0,
         {"a b.sig", "d.sig"},
         "norvistrand: 2 files: 2 converted\n"},
        {{"-q", "--files-from=lines.list", "d.wav", "--part=2/2"}, "", 0, {"-lead.sig"}, ""},
        {{"--files-from=lines.list", "--part=3/3"}, "", 0, {}, ""},
        {{"--files-from=empty.list"}, "", 0, {}, ""},
        // c.sig newer than c.wav, d.sig as old as d.wav: both kept; a b.sig older: replaced.
        {{"-u", "c.wav", "d.wav", "a b.wav", "x.wav"},
         "",
         1,
         {"a b.sig", "c.sig", "d.sig"},
         "norvistrand: x.wav: Specified file not found (no such file)\n"
         "norvistrand: 4 files: 1 converted, 1 refused, 2 up to date\n"},
        {{"--part=4/3", "c.wav"},
         "",
         2,
         {},
         "norvistrand: not a part I/N with I from 1 to N '4/3'\n"},
        {{"--part=0/1", "c.wav"},
         "",
         2,
         {},
         "norvistrand: not a part I/N with I from 1 to N '0/1'\n"},
        {{"--part=2", "c.wav"}, "", 2, {}, "norvistrand: not a part I/N with I from 1 to N '2'\n"},
        {{"--part=1/2/3", "c.wav"}, "", 2, {}, "norvistrand: not a part I/N with I from 1 to N"},
        {{"c.wav", "--part"}, "", 2, {}, "norvistrand: a part I/N must follow '--part'\n"},
        {{"-0", "c.wav"}, "", 2, {}, "norvistrand: -0 tells how the names of --files-from end"},
        {{"-cu", "c.wav"}, "", 2, {}, "norvistrand: -c writes no signal file, so -u has no use"},
        {{"--files-from=-", "-"}, "", 2, {}, "norvistrand: standard input can be read only once\n"},
        {{"--files-from=none.list", "c.wav"},
         "",
         2,
         {},
         "norvistrand: none.list: The list of files cannot be read (no such file)\n"},
        {{"--files-from=nul.list", "c.wav"},
         "",
         2,
         {},
         "norvistrand: nul.list: The list of files holds a NUL byte: names that end with NUL "
         "need -0\n"},
    };
    const auto now = std::filesystem::last_write_time("c.wav");
    const std::pair<const char*, int> oldSignals[] = {{"c.sig", 5}, {"d.sig", 0}, {"a b.sig", -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Arguments.front());
        for (const std::string& wave : waves) {
            std::filesystem::remove(wave.substr(0, wave.size() - 3) + "sig");
        }
        const bool update = c.Arguments.front() == "-u";
        for (const auto& [old, age] : oldSignals) {
            if (!update) continue;
            WriteWholeFile(old, "old\r\n");
            std::filesystem::last_write_time(old, now + std::chrono::seconds(age));
        }
        if (update) std::filesystem::last_write_time("d.wav", now);
        if (update) std::filesystem::last_write_time("a b.wav", now);
        std::vector<std::string> arguments = c.Arguments;
        arguments.insert(arguments.begin(), NORVISTRAND_BINARY);
        if (!c.Input.empty()) {
            arguments.insert(arguments.begin(),
                             {FindExecutable("sh"), "-c", "exec \"$@\" < " + c.Input, "sh"});
        }
        const ChildResult run = RunChild(arguments, Patience);
        EXPECT_EQ(run.ExitStatus, c.ExitStatus);
        EXPECT_EQ(run.Errors.substr(0, c.Errors.size()), c.Errors);
        std::vector<std::string> written;
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            if (entry.path().extension() == ".sig") written.push_back(entry.path().filename());
        }
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written, c.Written);
        if (update) {
            EXPECT_EQ(ReadWholeFile("c.sig"), "old\r\n");  // up to date: untouched
            EXPECT_EQ(ReadWholeFile("d.sig"), "old\r\n");
            EXPECT_EQ(Lines("a b.sig"), 200);  // older than its wave file: replaced
        }
    }
}

// Parts 1 to N of one list convert every name once, for several N.
TEST_F(CommandLineTest, PartsCoverTheListOnce) {
    std::string list;
    for (int i = 1; i <= 7; ++i) {
        WriteWholeFile("t" + std::to_string(i) + ".wav", Wave(100));
        list += "t" + std::to_string(i) + ".wav\n";
    }
    WriteWholeFile("takes.list", list);
    for (int parts : {1, 3, 7, 9}) {
        std::map<std::string, int> converted;
        for (int part = 1; part <= parts; ++part) {
            const std::string share =
                "--part=" + std::to_string(part) + "/" + std::to_string(parts);
            const ChildResult run =
                RunChild({NORVISTRAND_BINARY, "--files-from=takes.list", share}, Patience);
            EXPECT_EQ(run.ExitStatus, 0) << share;
            std::istringstream lines(run.Output);
            for (std::string line; std::getline(lines, line);) {
                converted[line.substr(0, line.find(':'))] += 1;
            }
        }
        EXPECT_EQ(converted.size(), 7u) << parts;
        for (const auto& [name, times] : converted) EXPECT_EQ(times, 1) << name << " in " << parts;
    }
}
