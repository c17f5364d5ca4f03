#include "screen/main_flow.h"

#include <cstdint>
#include <string>

#include "console/keyboard.h"
#include "console/screen.h"
#include "converter/header_check.h"
#include "platform/console_tools.h"
#include "screen/conversion.h"
#include "screen/messages.h"
#include "screen/report.h"
#include "screen/screen_script.h"

namespace {

// The results of the tools are of no interest.
void DecorateWindow(void* instance) {
    std::int32_t noOptions = 0;
    InitConsoleTools(instance, 0, 0, 0, &noOptions, 0);
    ConsoleToolBar(0, 5);
    ConsoleTitle("Norvistrand");
    ConsoleMove(30, 30);
    ConsoleIcon(32512);  // the standard application icon
    // Restore, size, a separator, the last two items and maximize leave the system menu.
    for (std::int32_t item : {61728, 0, 61440, -2, -1, 61488}) {
        DeleteWindowMenuItem(item);
    }
}

void WriteLine(std::string_view text) {
    WriteText(text);
    NewLine();
}

void DrawBanner() {
    NewLine();
    WriteLine(BannerTitle);
    NewLine();
    WriteLine(BannerPurpose);
    WriteLine(BannerRequirement);
    NewLine();
    UseColour(NormalColour);
    WriteLine(BannerCredit);
    NewLine();
    WriteLine(BannerRule);
    NewLine();
}

}  // namespace

int WINMAIN(void* instance, void*, const char*, int) {
    DecorateWindow(instance);

    UseColour(EmphasisColour);
    ClearScreen();
    SetScreenSize(ScreenColumns, ScreenRows);
    DrawBanner();

    std::string waveName;
    WaveHeader header{};
    for (;;) {
        NewLine();
        WriteText(PromptText);
        NextPrintZone();
        UseColour(EmphasisColour);
        waveName = LineInput();
        if (KeyboardLost()) return KeyboardLostExitCode;
        UseColour(NormalColour);
        HeaderVerdict verdict = CheckWaveHeader(waveName, header);
        if (verdict.Code == HeaderCode::Accepted) break;
        ShowWithBells(RefusalMessage(verdict.Code));
    }

    WriteReport(header);
    AnnounceSignalFile(SignalFileName(waveName));
    ConversionOutcome outcome = ConvertToSignalFile(waveName, header);

    // A failed job ends like a refusal, on the row where the success message would stand.
    ShowWithBells(OutcomeMessage(outcome));
    WriteText(QuitText);
    NewLine();
    WaitForKey();
    if (KeyboardLost()) return KeyboardLostExitCode;
    return 0;
}
