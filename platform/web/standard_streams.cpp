// The standard streams of the web page's module: the page takes each text through a function
// of its own, stream(which, text, length), which 0 for output and 1 for error. Neither is a
// terminal, so the lines are those the program writes to a file or a pipe.
#include "platform/standard_streams.h"

#include <cstddef>

namespace {

extern "C" __attribute__((import_module("norvistrand"), import_name("stream"))) void PageStream(
    int which, const char* text, std::size_t length);

}  // namespace

namespace platform {

bool WriteToStream(StandardStream stream, std::string_view text) {
    PageStream(stream == StandardStream::Output ? 0 : 1, text.data(), text.size());
    return true;
}

bool StreamIsTerminal(StandardStream) {
    return false;
}

int StreamColumns(StandardStream) {
    return 0;
}

// The module has no signals.
void KeepWriteFailuresFromEndingProcess() {}

}  // namespace platform
