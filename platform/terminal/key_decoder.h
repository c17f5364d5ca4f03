#pragma once
// Turns the bytes a terminal sends for key presses into console key records, with the
// characters, US scan codes and control-key states a console keyboard would report.
// Pure: no reading, no clock. The caller says whether the bytes it holds have waited long
// enough to count as complete, which is how a lone Escape is told from an escape sequence.
#include <cstddef>
#include <deque>

#include "platform/console_api.h"

namespace platform {

// The outcome of decoding the front of a byte buffer.
struct DecodedKey {
    std::size_t Consumed;  // bytes taken from the front; 0 means "need more": they begin a
                           // sequence that is not complete yet
    bool HasRecord;        // false for bytes that are no key press: a terminal's report
                           // (mouse, focus, paste brackets) or a broken or unfinished
                           // sequence (consumed all the same, so none of its bytes become
                           // characters)
    InputRecord Record;    // a key-down KEY_EVENT, repeat count 1, when HasRecord; a
                           // complete sequence of a key we do not know has character and
                           // scan code 0
};

// Decodes one key from the front of bytes. With timedOut (no byte has followed for the
// escape timeout) an incomplete sequence is taken as it stands: a lone ESC is the Esc key,
// ESC [ and ESC O are Alt with '[' and 'O', anything longer is dropped. So with timedOut and
// length > 0, Consumed is never 0.
DecodedKey DecodeKey(const unsigned char* bytes, std::size_t length, bool timedOut);

// Decodes keys from the front of bytes until they run out or a sequence needs more,
// appending their records to records. Returns the bytes consumed; the rest is the start of
// an incomplete sequence (nothing is left over when timedOut).
std::size_t DecodeKeys(const unsigned char* bytes, std::size_t length, bool timedOut,
                       std::deque<InputRecord>& records);

}  // namespace platform
