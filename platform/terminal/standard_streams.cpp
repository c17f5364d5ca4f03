#include "platform/standard_streams.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

int DescriptorOf(StandardStream stream) {
    return stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO;
}

}  // namespace

bool WriteToStream(StandardStream stream, std::string_view text) {
    const char* data = text.data();
    std::size_t length = text.size();
    while (length > 0) {
        const ssize_t written = write(DescriptorOf(stream), data, length);
        if (written > 0) {
            data += written;
            length -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        return false;
    }
    return true;
}

bool StreamIsTerminal(StandardStream stream) {
    return isatty(DescriptorOf(stream)) == 1;
}

int StreamColumns(StandardStream stream) {
    struct winsize size {};
    if (ioctl(DescriptorOf(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

}  // namespace platform
