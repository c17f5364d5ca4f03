#pragma once
// A small input read whole into memory: a list of names, from a file, a pipe or standard input.
#include <cstdint>
#include <string>
#include <string_view>

struct WholeText {
    std::string Bytes;
    std::uint8_t Error;  // the file error number of the failure; 0 when all was read
    std::string Cause;   // why it failed, in a few words; or empty
};

// Reads the file at the path, taken whole, to its end; a FIFO or a pipe is read until its
// writer has gone.
WholeText ReadWholeText(std::string_view path);

// Reads standard input to its end.
WholeText ReadWholeStandardInput();
