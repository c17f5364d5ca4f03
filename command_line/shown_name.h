#pragma once
// A name as the command line shows it.
#include <string>
#include <string_view>

// On a terminal a name's control bytes are shown as "?", so no name can send the terminal
// sequences of its own.
inline constexpr bool ForTerminal = true;

inline std::string Shown(std::string_view name, bool terminal) {
    std::string shown(name);
    if (!terminal) return shown;
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127) c = '?';
    }
    return shown;
}
