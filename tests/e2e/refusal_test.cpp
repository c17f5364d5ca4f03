// Every kind of refusal in one run: each message in black on the row below the typed name,
// the next prompt two rows below it, and the loop going on after each.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/program_fixture.h"
#include "tests/e2e/screen_texts.h"
#include "tests/support/wave_files.h"

namespace {

struct RefusalCase {
    std::string Name;     // typed at the prompt
    std::string Message;  // the refusal it gets
};

// A good 16-bit mono header with a few samples, for the cases to break one field of.
WaveLayout GoodSpec() {
    WaveLayout layout;
    layout.SampleRate = 8000;
    layout.BitsPerSample = 16;
    layout.BlockAlignment = 2;
    layout.Samples = Samples16({1, -2, 3, -4});
    return layout;
}

// Writes the files of the cases into the folder; "missing.wav" is left out on purpose.
void MakeRefusedFiles(const TmuxSession& session) {
    mkdir(PathInFolder(session, "folder.wav").c_str(), 0755);
    WriteWholeFile(PathInFolder(session, "empty.wav"), "");
    WriteWholeFile(PathInFolder(session, "short.wav"), "RIF");

    std::string rifx = BuildWave(GoodSpec());
    rifx[3] = 'X';
    WriteWholeFile(PathInFolder(session, "rifx.wav"), rifx);
    std::string wavx = BuildWave(GoodSpec());
    wavx[11] = 'X';
    WriteWholeFile(PathInFolder(session, "wavx.wav"), wavx);

    WaveLayout floating = GoodSpec();
    floating.FormatTag = 3;
    WriteWholeFile(PathInFolder(session, "float.wav"), BuildWave(floating));
    WaveLayout extensible = GoodSpec();
    extensible.FormatTag = static_cast<std::int16_t>(0xFFFE);
    WriteWholeFile(PathInFolder(session, "extensible.wav"), BuildWave(extensible));
    WaveLayout stereo = GoodSpec();
    stereo.Channels = 2;
    stereo.BlockAlignment = 4;
    WriteWholeFile(PathInFolder(session, "stereo.wav"), BuildWave(stereo));
    WaveLayout twelve = GoodSpec();
    twelve.BitsPerSample = 12;
    twelve.BlockAlignment = 4;  // would also fail the packed check, which comes later
    WriteWholeFile(PathInFolder(session, "twelve.wav"), BuildWave(twelve));
    WaveLayout loose = GoodSpec();
    loose.BitsPerSample = 24;
    loose.BlockAlignment = 4;
    WriteWholeFile(PathInFolder(session, "loose24.wav"), BuildWave(loose));
    WriteWholeFile(PathInFolder(session, "self.sig"), BuildWave(GoodSpec()));
}

}  // namespace

TEST_F(ProgramTest, EachKindOfRefusalShowsItsMessageAndThePromptReturns) {
    MakeRefusedFiles(Session);
    std::string selfBefore = ReadWholeFile(PathInFolder(Session, "self.sig"));
    const std::vector<RefusalCase> cases = {
        {"missing.wav", NotFound},
        {"folder.wav", NotFound},
        {"wild*.wav", NotFound},
        {"empty.wav", NotWave},
        {"short.wav", NotWave},
        {"rifx.wav", NotWave},
        {"wavx.wav", NotWave},
        {"float.wav", NotPcm},
        {"extensible.wav", NotPcm},
        {"stereo.wav", NotMono},
        {"twelve.wav", NotSupportedBits},
        {"loose24.wav", NotPacked},
        {"self.sig", WouldOverwrite},
    };

    ASSERT_TRUE(WaitForRow(Session, 12, Prompt)) << Session.Problem;
    for (const RefusalCase& refusal : cases) {
        ASSERT_TRUE(TypeLine(Session, refusal.Name)) << Session.Problem;
        int top = 0;
        ASSERT_TRUE(
            WaitForLines(Session, {PromptWith(refusal.Name), refusal.Message, "", Prompt}, top))
            << refusal.Name << ": " << Session.Problem;
        ASSERT_TRUE(WaitForCursor(Session, TypingColumn, top + 3)) << Session.Problem;
        ScreenCells cells;
        ASSERT_TRUE(CaptureCells(Session, cells)) << Session.Problem;
        EXPECT_EQ(CheckRowColours(cells, top + 1, Black), "") << refusal.Name;
    }

    EXPECT_EQ(ReadWholeFile(PathInFolder(Session, "self.sig")), selfBefore);
    bool running = false;
    ASSERT_TRUE(ProgramRunning(Session, running)) << Session.Problem;
    EXPECT_TRUE(running);
}
