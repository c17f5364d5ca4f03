// The real terminal behind the in-memory console: the keyboard is /dev/tty in raw mode, the
// screen is standard output or standard error when it is a terminal, else /dev/tty too.
// Besides the renderer's frames (terminal_renderer.h lists their sequences) this sends:
//   CSI 0 m, CSI H, CSI 2 J     at attach: default colours, cursor home, clear
//   OSC 0 ; title BEL           the window title
//   CSI 8 ; rows ; columns t    ask the terminal to take a size
//   CSI 3 ; left ; top t        ask the terminal to move its window
//   CSI 0 m, CSI ? 25 h         at detach: default colours, cursor shown
// and, on the keyboard's terminal, ESC = and ESC > for the keypad (platform/terminal/raw_mode.h).
// Requests are queued and go out at the head of the next frame, so each flush is one write.
#include "platform/terminal/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/console_api.h"
#include "platform/terminal/key_decoder.h"
#include "platform/terminal/raw_mode.h"
#include "platform/terminal/terminal_renderer.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// A lone ESC is the Esc key once this long has passed with no byte after it; the bytes of
// an escape sequence arrive together, far quicker.
constexpr auto EscapeTimeout = std::chrono::milliseconds(40);
constexpr std::size_t ReadChunk = 256;
// Bytes taken from the terminal in one pump, so a flood cannot hold the program up.
constexpr std::size_t MostBytesPerPump = 4096;
// How long a frame waits on a terminal that takes no more output before it is dropped.
constexpr int WriteStallMilliseconds = 1000;
constexpr std::size_t LongestTitle = 255;

struct TerminalLink {
    bool Attached;
    bool Gone;     // attaching failed, or the terminal hung up
    int Keyboard;  // /dev/tty, non-blocking; -1 when not attached
    int Screen;    // STDOUT_FILENO, STDERR_FILENO or Keyboard; -1 for nowhere
    DrawnScreen Drawn;
    std::string Requests;        // title, size and move requests for the next frame
    std::uint32_t Bells;         // bells for the next frame
    std::string Frame;           // the bytes of the frame being sent (kept to reuse its storage)
    std::uint64_t DrawnChanges;  // the console's change count when the last frame was drawn
    std::vector<unsigned char> Pending;  // keyboard bytes of a sequence not complete yet
    Clock::time_point LastByte;          // when keyboard bytes last arrived
    std::size_t TypedEarly;  // bytes still to read that were typed before raw mode was on,
                             // under a mode that turned their Enter into a line feed
    bool Quiet;              // the last wait on the keyboard ended with nothing to read
};

TerminalLink Link{false, false, -1, -1, UnknownScreen(), {}, 0, {}, 0, {}, {}, 0, false};

// Set by the SIGWINCH handler; the next flush redraws everything.
volatile sig_atomic_t WindowResized = 0;

void NoteWindowResized(int) {
    WindowResized = 1;
}

enum class WriteOutcome { Written, Stalled, Failed };

// Writes all of data, going on after partial writes and interruptions.
WriteOutcome WriteAll(int descriptor, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t written = write(descriptor, data, length);
        if (written > 0) {
            data += written;
            length -= static_cast<std::size_t>(written);
            continue;
        }
        const int error = errno;
        if (written < 0 && error == EINTR) continue;
        if (written < 0 && (error == EAGAIN || error == EWOULDBLOCK)) {
            // Someone made the screen non-blocking: wait, but not for ever, for room.
            pollfd room{descriptor, POLLOUT, 0};
            const int ready = poll(&room, 1, WriteStallMilliseconds);
            if (ready > 0 && (room.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0) continue;
            if (ready < 0 && errno == EINTR) continue;
            return ready == 0 ? WriteOutcome::Stalled : WriteOutcome::Failed;
        }
        return WriteOutcome::Failed;  // EIO after a hang-up, and the like
    }
    return WriteOutcome::Written;
}

TerminalSize SizeOf(int descriptor) {
    winsize size{};
    if (ioctl(descriptor, TIOCGWINSZ, &size) != 0) return TerminalSize{0, 0};
    return TerminalSize{size.ws_col, size.ws_row};
}

// Bytes typed before raw mode was on went through the old mode, which turned Enter into a
// line feed: in those, a line feed is an Enter. A Ctrl+J typed later stays a line feed.
void TakeBackEarlyEnters(unsigned char* bytes, std::size_t count) {
    const std::size_t early = std::min(count, Link.TypedEarly);
    std::replace(bytes, bytes + early, static_cast<unsigned char>('\n'),
                 static_cast<unsigned char>('\r'));
    Link.TypedEarly -= early;
}

// Appends the bytes the keyboard has ready to Link.Pending without waiting. Returns whether
// any arrived; notes a hang-up in Link.Gone.
bool ReadWaitingBytes() {
    // After a wait that ended with nothing to read, looks save themselves the system call
    // until the next wait: bytes that come in between end that wait at once.
    if (Link.Quiet) return false;
    bool arrived = false;
    unsigned char chunk[ReadChunk];
    std::size_t total = 0;
    while (total < MostBytesPerPump) {
        pollfd ready{Link.Keyboard, POLLIN, 0};
        const int count = poll(&ready, 1, 0);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            Link.Gone = true;
            break;
        }
        if (count == 0) break;
        // Hung up or broken with nothing left to read. Bytes typed before a hang-up are
        // still read first.
        if ((ready.revents & POLLIN) == 0) {
            Link.Gone = true;
            break;
        }
        const ssize_t got = read(Link.Keyboard, chunk, sizeof chunk);
        if (got > 0) {
            TakeBackEarlyEnters(chunk, static_cast<std::size_t>(got));
            Link.Pending.insert(Link.Pending.end(), chunk, chunk + got);
            total += static_cast<std::size_t>(got);
            arrived = true;
            continue;
        }
        const int error = errno;
        if (got < 0 && error == EINTR) continue;
        if (got < 0 && (error == EAGAIN || error == EWOULDBLOCK)) break;
        // 0 is the end of the terminal (a hang-up); EIO and ENXIO mean it is gone too.
        Link.Gone = true;
        break;
    }
    return arrived;
}

// Decodes what it can of Link.Pending into the console's input; with timedOut, all of it.
void DecodePending(bool timedOut) {
    const std::size_t used =
        DecodeKeys(Link.Pending.data(), Link.Pending.size(), timedOut, TheConsole().Input);
    Link.Pending.erase(Link.Pending.begin(),
                       Link.Pending.begin() + static_cast<std::ptrdiff_t>(used));
}

void InstallResizeHandler() {
    struct sigaction action {};
    action.sa_handler = NoteWindowResized;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &action, nullptr);
}

}  // namespace

bool AttachTerminal() {
    if (Link.Attached) return true;
    // Our own open of the terminal, so O_NONBLOCK touches no one else's descriptor.
    const int keyboard = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (keyboard < 0) {
        Link.Gone = true;
        return false;
    }
    // With both streams redirected (a log of the session, say) the screen goes where the
    // keyboard comes from, as full-screen terminal programs do.
    const int screen = isatty(STDOUT_FILENO) == 1   ? STDOUT_FILENO
                       : isatty(STDERR_FILENO) == 1 ? STDERR_FILENO
                                                    : keyboard;
    return AttachTerminalTo(keyboard, screen);
}

bool AttachTerminalTo(int keyboard, int screen) {
    if (Link.Attached) return true;
    // The console exists before our exit handler is registered, so it outlives that handler.
    TheConsole();
    if (!EnterRawMode(keyboard)) {
        close(keyboard);
        Link.Gone = true;
        return false;
    }
    Link.Attached = true;
    Link.Gone = false;
    Link.Keyboard = keyboard;
    int queued = 0;
    Link.TypedEarly = SavedModeTurnsReturnsIntoLineFeeds() &&
                              ioctl(keyboard, FIONREAD, &queued) == 0 && queued > 0
                          ? static_cast<std::size_t>(queued)
                          : 0;
    Link.Screen = screen;
    Link.Drawn = UnknownScreen();
    Link.Requests.clear();
    Link.Bells = 0;
    Link.Pending.clear();
    Link.Quiet = false;

    static bool handlersInstalled = false;
    if (!handlersInstalled) {
        InstallResizeHandler();
        std::atexit(DetachTerminal);
        handlersInstalled = true;
    }
    if (Link.Screen >= 0) {
        constexpr char Clear[] = "\x1b[0m\x1b[H\x1b[2J";
        if (WriteAll(Link.Screen, Clear, sizeof Clear - 1) == WriteOutcome::Failed) {
            Link.Screen = -1;
        }
    }
    return true;
}

void FlushScreen() {
    if (Link.Screen < 0) {
        Link.Requests.clear();
        Link.Bells = 0;
        return;
    }
    if (WindowResized != 0) {
        WindowResized = 0;
        Link.Drawn.Known = false;
    }
    // The program looks at the keyboard up to a thousand times a second: with nothing new to show
    // and nothing queued, a flush costs no more than this comparison.
    const std::uint64_t changes = TheConsole().Changes;
    if (Link.Drawn.Known && changes == Link.DrawnChanges && Link.Requests.empty() &&
        Link.Bells == 0) {
        return;
    }
    Link.DrawnChanges = changes;
    Link.Frame.clear();
    Link.Frame.swap(Link.Requests);
    RenderFrame(TheConsole(), SizeOf(Link.Screen), Link.Bells, Link.Drawn, Link.Frame);
    Link.Bells = 0;
    if (Link.Frame.empty()) return;
    switch (WriteAll(Link.Screen, Link.Frame.data(), Link.Frame.size())) {
        case WriteOutcome::Written:
            break;
        case WriteOutcome::Stalled:
            // Part of the frame may be on the screen: take nothing there for granted.
            Link.Drawn = UnknownScreen();
            break;
        case WriteOutcome::Failed:
            Link.Screen = -1;  // the terminal is gone; draw no more
            break;
    }
}

void PumpKeyboard() {
    if (Link.Keyboard < 0 || Link.Gone) return;
    if (ReadWaitingBytes()) Link.LastByte = Clock::now();
    DecodePending(false);
    // What is left is the start of a sequence. Once nothing has followed it for a while
    // (or nothing ever can), it is taken as it stands: a lone ESC is the Esc key.
    if (!Link.Pending.empty() && (Link.Gone || Clock::now() - Link.LastByte >= EscapeTimeout)) {
        DecodePending(true);
    }
}

bool WaitForKeyboard(int milliseconds) {
    if (Link.Keyboard < 0 || Link.Gone) return false;
    pollfd ready{Link.Keyboard, POLLIN, 0};
    // Bytes, a hang-up or a signal end the wait early; the caller looks at once either way.
    const int count = poll(&ready, 1, milliseconds);
    Link.Quiet = count == 0;
    return count >= 0 || errno == EINTR;
}

bool KeyboardGone() {
    return Link.Gone;
}

void QueueBell() {
    if (Link.Screen >= 0) ++Link.Bells;
}

void RequestTerminalSize(std::int16_t columns, std::int16_t rows) {
    if (Link.Screen < 0 || columns <= 0 || rows <= 0) return;
    Link.Requests += "\x1b[8;" + std::to_string(rows) + ";" + std::to_string(columns) + "t";
}

void SetTerminalTitle(const char* title) {
    if (Link.Screen < 0 || title == nullptr) return;
    Link.Requests += "\x1b]0;";
    for (std::size_t i = 0; title[i] != '\0' && i < LongestTitle; ++i) {
        const auto byte = static_cast<unsigned char>(title[i]);
        // A control byte would end the sequence early, and a byte beyond ASCII may not be
        // UTF-8 (or may be an 8-bit string terminator).
        Link.Requests.push_back(byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '?');
    }
    Link.Requests.push_back('\a');
}

void MoveTerminalWindow(std::int32_t left, std::int32_t top) {
    if (Link.Screen < 0) return;
    Link.Requests += "\x1b[3;" + std::to_string(left < 0 ? 0 : left) + ";" +
                     std::to_string(top < 0 ? 0 : top) + "t";
}

void DetachTerminal() {
    if (!Link.Attached) return;
    FlushScreen();
    if (Link.Screen >= 0) {
        constexpr char Farewell[] = "\x1b[0m\x1b[?25h";
        WriteAll(Link.Screen, Farewell, sizeof Farewell - 1);
    }
    LeaveRawMode();
    close(Link.Keyboard);
    Link.Keyboard = -1;
    Link.Screen = -1;
    Link.Attached = false;
}

}  // namespace platform
