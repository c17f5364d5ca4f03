#include "platform/terminal/raw_mode.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ending_signals.h"

namespace platform {

namespace {

// Read by the signal handlers, so plain data written before they can run.
termios SavedMode;
volatile sig_atomic_t RawDescriptor = -1;  // the terminal in raw mode, -1 when none

constexpr char ApplicationKeypad[] = "\x1b=";
constexpr char NormalKeypad[] = "\x1b>";

// Sends a keypad mode to the terminal. The descriptor is non-blocking: a terminal that takes
// no output now misses it, which costs a keypad that sends what it sends in the other mode.
void SendKeypadMode(int descriptor, const char* sequence) {
    while (write(descriptor, sequence, 2) == -1 && errno == EINTR) {
    }
}

}  // namespace

bool EnterRawMode(int descriptor) {
    termios mode{};
    if (tcgetattr(descriptor, &mode) != 0) return false;
    if (RawDescriptor < 0) {
        SavedMode = mode;
        HandleEndingSignals();
    }

    // Input: CR stays CR (Enter and Ctrl+M are the same key anyway, and Ctrl+J must stay
    // LF); no break signal; no parity check; all 8 bits kept for UTF-8; Ctrl+S and Ctrl+Q
    // arrive as keys instead of stopping and starting output.
    mode.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | BRKINT | INPCK | ISTRIP | IXON);
    // Output processing stays as it was: the renderer places the cursor itself and never
    // sends a line feed, and anything else written to the terminal (a last message on
    // standard error) still gets its carriage return.
    // Characters of 8 bits.
    mode.c_cflag = (mode.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB)) | CS8;
    // No echo, no line editing, no signal keys (Ctrl+C arrives as byte 3, Ctrl+Z as 26),
    // no Ctrl+V quoting.
    mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG | IEXTEN);
    // A read returns what is there; the descriptor is non-blocking besides, so a read with
    // nothing there fails with EAGAIN and a read of 0 bytes means the terminal hung up.
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;

    // TCSANOW, not TCSAFLUSH: keys typed before the program got here are kept.
    if (tcsetattr(descriptor, TCSANOW, &mode) != 0) return false;
    RawDescriptor = descriptor;
    SendKeypadMode(descriptor, ApplicationKeypad);
    return true;
}

bool SavedModeTurnsReturnsIntoLineFeeds() {
    // IGNCR drops a carriage return before ICRNL could turn it.
    return RawDescriptor >= 0 && (SavedMode.c_iflag & (ICRNL | IGNCR)) == ICRNL;
}

void LeaveRawMode() {
    const int descriptor = RawDescriptor;
    if (descriptor < 0) return;
    SendKeypadMode(descriptor, NormalKeypad);
    // A hung-up terminal refuses; there is nothing left to put back then.
    tcsetattr(descriptor, TCSANOW, &SavedMode);
    RawDescriptor = -1;
}

}  // namespace platform
