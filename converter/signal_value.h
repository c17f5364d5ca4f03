#pragma once
// The value a signal file's line reads back as: its decimal text rounded to the nearest double,
// as every correct reader of the file rounds it.
#include <charconv>
#include <cstdlib>
#include <version>

// The text from first up to its line end, CR LF, which ends the number.
inline double SignalLineValue(const char* first, const char* last) {
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    double value = 0;
    std::from_chars(first, last, value);
    return value;
#else
    // Libraries without from_chars for doubles (the web page's) have a strtod that rounds as
    // correctly, in the C locale no program of ours leaves.
    static_cast<void>(last);
    return std::strtod(first, nullptr);
#endif
}
