// The process: with arguments, the command-line mode, which never touches the terminal;
// without, prepare the console and run the screen program.
#include "command_line/command_line.h"
#include "console/screen.h"
#include "platform/ending_signals.h"
#include "platform/standard_streams.h"
#include "platform/terminal/terminal.h"
#include "screen/main_flow.h"

int main(int argc, char** argv) {
    // Before the first write: a line written to a closed pipe, or past the file-size limit,
    // fails like any other write in both modes.
    platform::KeepWriteFailuresFromEndingProcess();
    if (argc > 1) {
        return RunCommandLine(argc - 1, argv + 1);
    }
    if (!platform::AttachTerminal()) {
        platform::WriteToStream(platform::StandardStream::Error,
                                "norvistrand: no terminal to read the keyboard from\n");
        return KeyboardLostExitCode;
    }
    PrepareConsole();
    int result = WINMAIN(nullptr, nullptr, "", 0);
    platform::DetachTerminal();
    if (result == KeyboardLostExitCode) {
        platform::WriteToStream(platform::StandardStream::Error,
                                "norvistrand: the terminal went away; ending\n");
    }
    return result;
}
