#pragma once
// The real program in a real terminal: a private tmux server per test, an 81 x 30 window
// whose pane runs the program in a temporary working folder, keys typed as exact bytes and
// the screen read back. Rows and columns are counted from 1, as the screen script counts
// them. Every wait is a poll every 30 ms for at most a few seconds.
//
// Each call returns false when it could not do its job and then says why in Problem (with
// the screen as it stood, where that helps), so a test can write
//   ASSERT_TRUE(WaitForRow(session, 12, Prompt)) << session.Problem;
#include <string>
#include <vector>

#include "tests/e2e/screen_capture.h"

inline constexpr int ScreenColumns = 81;
inline constexpr int ScreenRows = 30;

struct TmuxSession {
    std::string Tmux;     // full path of the tmux executable
    std::string Program;  // full path of the program under test
    std::string Folder;   // temporary folder: the program's working folder, sockets inside
    std::string Socket;   // the private server's socket, inside Folder
    int ServerPid;        // the private server's process; 0 until known
    int ProgramPid;       // the pane's process, which becomes the program; 0 until known
    std::string Problem;  // why the last call that returned false failed
};

// Makes the folder, starts the server with the pane held until everything is set (size
// fixed at 81 x 30, status line off, dead panes kept with their exit status and no "Pane is
// dead" line), then lets the pane exec the program with only TERM=xterm-256color in its
// environment. Fails with a clear message when tmux or the program is missing.
bool StartSession(TmuxSession& session, const std::string& program);

// Kills the private server (and the program, should it outlive its terminal) by their
// process ids and removes the folder. Safe on a session that never fully started.
void StopSession(TmuxSession& session);

// The path of a file in the program's working folder.
std::string PathInFolder(const TmuxSession& session, const std::string& name);

// Types these bytes exactly as given (send-keys -H): 0x0D is Enter, 0x7F Backspace.
bool SendBytes(TmuxSession& session, const std::string& bytes);

// Presses keys by their tmux names ("KPEnter", "KP1"): tmux sends what the terminal's modes
// call for, as a terminal would.
bool SendKeyNames(TmuxSession& session, const std::vector<std::string>& names);

// The 30 rows of text, trailing blanks removed.
bool CaptureRows(TmuxSession& session, std::vector<std::string>& rows);

// Every cell with glyph and SGR colours, from `capture-pane -e`. Cells that were cleared or
// scrolled in and never written are NotReported when nothing follows them on their row.
bool CaptureCells(TmuxSession& session, ScreenCells& screen);

// Every cell with its real background, blank cells included: a read-only client attaches to
// the session from a second tmux server whose terminal lacks background colour erase, which
// makes it draw every blank cell as a coloured space; that server's screen is captured.
// Looking at the window clears its bell flag: ask BellRang first.
bool CaptureViewedCells(TmuxSession& session, ScreenCells& screen);

// The cursor, counted from 1.
bool CursorPosition(TmuxSession& session, int& column, int& row);

// Any of tmux's formats for the pane, e.g. "#{pane_title}" (set by OSC 0) or
// "#{cursor_flag}" (1 while the cursor is shown).
bool PaneFormat(TmuxSession& session, const std::string& format, std::string& answer);

// Waits until row `row` reads `text` (trailing blanks ignored).
bool WaitForRow(TmuxSession& session, int row, const std::string& text);

// Waits until these rows stand one below the other somewhere on the screen; topRow is the
// row of the first of them, the lowest such place when there are several.
bool WaitForLines(TmuxSession& session, const std::vector<std::string>& lines, int& topRow);

bool WaitForCursor(TmuxSession& session, int column, int row);

// False in `running` once the program has ended.
bool ProgramRunning(TmuxSession& session, bool& running);

// Waits until the program has ended and its exit status is known.
bool WaitForExit(TmuxSession& session, int& exitStatus);

// Whether the terminal has heard a bell since the session started (tmux's window bell flag,
// which stays set while no client looks at the window; CaptureViewedCells clears it).
bool BellRang(TmuxSession& session, bool& rang);
