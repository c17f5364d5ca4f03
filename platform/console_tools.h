#pragma once
// The console-window tools: window title, position, icon, tool bar and system-menu trimming.
// On a terminal only the title and the position have an effect; the rest accept their
// arguments and do nothing. On Windows every one but the tool bar acts on the console's window
// (platform/windows/console_tools.cpp).
#include <cstdint>

int InitConsoleTools(void* instance, std::int32_t a, std::int32_t b, std::int32_t c,
                     std::int32_t* options, std::int32_t d);
int ConsoleToolBar(std::int32_t show, std::int32_t style);
const char* ConsoleTitle(const char* title);
int ConsoleMove(std::int32_t left, std::int32_t top);
int ConsoleIcon(std::int32_t icon);
int DeleteWindowMenuItem(std::int32_t item);
