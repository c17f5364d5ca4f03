#include "platform/console_tools.h"

#include "platform/terminal/terminal.h"

// The tools library's calls report success with a non-zero result.
int InitConsoleTools(void*, std::int32_t, std::int32_t, std::int32_t, std::int32_t*, std::int32_t) {
    return 1;
}

// A terminal has no tool bar.
int ConsoleToolBar(std::int32_t, std::int32_t) {
    return 1;
}

const char* ConsoleTitle(const char* title) {
    platform::SetTerminalTitle(title);
    return title;
}

int ConsoleMove(std::int32_t left, std::int32_t top) {
    platform::MoveTerminalWindow(left, top);
    return 1;
}

// Icons and the system menu belong to a window manager's frame, which a terminal program
// cannot reach.
int ConsoleIcon(std::int32_t) {
    return 1;
}
int DeleteWindowMenuItem(std::int32_t) {
    return 1;
}
