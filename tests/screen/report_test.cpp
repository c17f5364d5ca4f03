#include "screen/report.h"

#include "converter/header_check.h"
#include "tests/support/converter_fixture.h"

namespace {

using ReportTest = ConverterTest;

TEST_F(ReportTest, WritesTheFourRowsOfAnAcceptedFile) {
    WaveLayout layout;
    layout.Samples = std::string(500, '\0');
    layout.SampleRate = 250;
    WriteWholeFile("report.wav", BuildWave(layout));
    WaveHeader header{};
    ASSERT_EQ(CheckWaveHeader("report.wav", header).Code, HeaderCode::Accepted);
    PlaceCursor(1, 13);
    WriteReport(header);
    EXPECT_EQ(Row(12), "");
    EXPECT_EQ(Row(13), "         FILE DATA    Resolution   16 bits");
    EXPECT_EQ(Row(14), "                      Sample rate  250 Hz");
    EXPECT_EQ(Row(15), "                      Length       250 samples");
    EXPECT_EQ(Row(16), "                      Duration     1000 milliseconds");
    EXPECT_EQ(CursorPosition().Y, 17);
    EXPECT_EQ(CursorPosition().X, 0);
}

}  // namespace
