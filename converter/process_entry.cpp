// The process: with arguments, the command-line mode, which never touches the terminal;
// without, prepare the console, set the arithmetic convention, run the screen program.
#include <unistd.h>

#include "console/screen.h"
#include "converter/command_line.h"
#include "converter/main_flow.h"
#include "platform/floating_point.h"
#include "platform/terminal/terminal.h"

namespace {

void SayOnStandardError(const char* line) {
    std::size_t length = 0;
    while (line[length] != '\0') ++length;
    ssize_t ignored = write(STDERR_FILENO, line, length);
    (void)ignored;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        SetProgramFloatingPoint();
        return RunCommandLine(argc - 1, argv + 1);
    }
    if (!platform::AttachTerminal()) {
        SayOnStandardError("norvistrand: no terminal to read the keyboard from\n");
        return KeyboardLostExitCode;
    }
    PrepareConsole();
    SetProgramFloatingPoint();
    int result = WINMAIN(nullptr, nullptr, "", 0);
    platform::DetachTerminal();
    if (result == KeyboardLostExitCode) {
        SayOnStandardError("norvistrand: the terminal went away; ending\n");
    }
    return result;
}
