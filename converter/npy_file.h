#pragma once
// The NumPy array file of a signal: format 1.0, little-endian doubles, one dimension. It holds
// the values the signal file's lines read back as, so that the two load as equal arrays.
#include <cstdint>
#include <string>
#include <string_view>

// The wave file's array file beside it: its name with "npy" for the last three characters,
// as the signal file has "sig".
std::string NpyFileName(std::string_view waveName);

// The header of an array of count doubles: the magic string, the version, the header's length,
// then its description padded with blanks to a line end, so that the values start at a
// multiple of 64 bytes, as NumPy itself writes it.
std::string NpyHeader(std::int64_t count);
