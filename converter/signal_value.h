#pragma once
// The value a signal file's line reads back as: its decimal text rounded to the nearest double,
// as every correct reader of the file rounds it.
#include <charconv>
#include <cstdlib>
#include <version>

// Reads the number that starts at first (its line end, CR, stops it) into value and returns
// where it ends.
inline const char* ReadSignalValue(const char* first, const char* last, double& value) {
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    return std::from_chars(first, last, value).ptr;
#else
    // Libraries without from_chars for doubles (the web page's) have a strtod that rounds as
    // correctly, in the C locale no program of ours leaves.
    static_cast<void>(last);
    char* end = nullptr;
    value = std::strtod(first, &end);
    return end;
#endif
}
