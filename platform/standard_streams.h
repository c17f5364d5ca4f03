#pragma once
// Lines for the person or the script that started the program: standard output and standard
// error, written whole, with no buffering of ours.
#include <string_view>

namespace platform {

enum class StandardStream {
    Output,
    Error,
};

// Writes all of text, going on after partial writes and interruptions. False when the stream
// took no more (closed, a pipe without a reader, a full disk).
bool WriteToStream(StandardStream stream, std::string_view text);

// True when the stream is a terminal (a console window on Windows).
bool StreamIsTerminal(StandardStream stream);

// The width in columns of the terminal the stream shows on; 0 when it is none or unknown.
int StreamColumns(StandardStream stream);

}  // namespace platform
