// The console-window tools on Windows, over the console's own window. Every call is harmless
// without one (a console the system draws in a terminal, or none at all): it then does
// nothing and reports 0. The tools report success with a non-zero result.
#include "platform/console_tools.h"

#include <windows.h>

namespace {

// How long the icon message may wait for the window to take it.
constexpr UINT IconMessageTimeout = 1000;  // milliseconds

// The whole frame's menu, when the console has a window of its own.
HMENU SystemMenu() {
    HWND window = GetConsoleWindow();
    return window != nullptr ? GetSystemMenu(window, FALSE) : nullptr;
}

}  // namespace

int InitConsoleTools(void*, std::int32_t, std::int32_t, std::int32_t, std::int32_t*, std::int32_t) {
    return 1;
}

// A console window has no tool bar.
int ConsoleToolBar(std::int32_t, std::int32_t) {
    return 1;
}

const char* ConsoleTitle(const char* title) {
    SetConsoleTitleA(title);
    return title;
}

// Moves the window's top-left corner to the screen position; its size and its place among
// the other windows stay.
int ConsoleMove(std::int32_t left, std::int32_t top) {
    HWND window = GetConsoleWindow();
    if (window == nullptr) return 0;
    return SetWindowPos(window, nullptr, left, top, 0, 0,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

// One of the system's own icons by number (32512 is the standard application icon), as the
// window's large and small icon. The window belongs to the console, another process: a
// window that does not answer in time keeps its icon.
int ConsoleIcon(std::int32_t icon) {
    HWND window = GetConsoleWindow();
    if (window == nullptr) return 0;
    HICON image = LoadIconA(nullptr, MAKEINTRESOURCEA(icon));
    if (image == nullptr) return 0;
    DWORD_PTR ignored = 0;
    const LPARAM value = reinterpret_cast<LPARAM>(image);
    const UINT flags = SMTO_ABORTIFHUNG | SMTO_BLOCK;
    const bool bigTaken = SendMessageTimeoutA(window, WM_SETICON, ICON_BIG, value, flags,
                                              IconMessageTimeout, &ignored) != 0;
    const bool smallTaken = SendMessageTimeoutA(window, WM_SETICON, ICON_SMALL, value, flags,
                                                IconMessageTimeout, &ignored) != 0;
    return bigTaken && smallTaken;
}

// A positive item is a command of the system menu (61728 restore, 61440 size, 61488
// maximize), 0 the first separator; a negative one counts positions from the menu's end, -1
// being the last item.
int DeleteWindowMenuItem(std::int32_t item) {
    HMENU menu = SystemMenu();
    if (menu == nullptr) return 0;
    if (item >= 0) return DeleteMenu(menu, static_cast<UINT>(item), MF_BYCOMMAND) != 0;
    const int count = GetMenuItemCount(menu);
    const int position = count + item;
    if (count <= 0 || position < 0) return 0;
    return DeleteMenu(menu, static_cast<UINT>(position), MF_BYPOSITION) != 0;
}
