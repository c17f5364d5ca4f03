#include "screen/screen_script.h"

#include "console/screen.h"

void UseColour(ColourPair colour) {
    SetColour(colour.Foreground, colour.Background, 0);
}

void ShowWithBells(std::string_view message) {
    Bell();
    Bell();
    UseColour(EmphasisColour);
    WriteText(message);
    NewLine();
    UseColour(NormalColour);
}

void AnnounceSignalFile(std::string_view signalName) {
    NewLine();
    WriteText("         Output file will be saved as ");
    WriteText(signalName);
    NewLine();
    NewLine();
    NewLine();
    WriteText("   Processing...");
    NewLine();
    NewLine();
    NewLine();
    // The work ahead can take a while: the announcement is shown before it starts.
    ShowScreenNow();
}
