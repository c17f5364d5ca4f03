// The process on Windows: with arguments, the command-line mode, which never touches the
// console; without, prepare the console, run the program with the instance handle, and end
// with its result. The C runtime splits the command line into argv in the system's ANSI code
// page.
#include "command_line/command_line.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/windows/api.h"
#include "screen/main_flow.h"

namespace {

void SayOnStandardError(const char* line) {
    DWORD length = 0;
    while (line[length] != '\0') ++length;
    DWORD written = 0;
    WriteFile(GetStdHandle(platform::STD_ERROR_HANDLE), line, length, &written, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        ExitProcess(static_cast<UINT>(RunCommandLine(argc - 1, argv + 1)));
    }
    PrepareConsole();
    // Without a console keyboard the prompt could never be answered.
    if (KeyboardLost()) {
        SayOnStandardError("norvistrand: no console to read the keyboard from\r\n");
        ExitProcess(KeyboardLostExitCode);
    }
    const int result =
        WINMAIN(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWDEFAULT);
    if (result == KeyboardLostExitCode) {
        SayOnStandardError("norvistrand: the console went away; ending\r\n");
    }
    ExitProcess(static_cast<UINT>(result));
}
