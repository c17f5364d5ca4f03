#pragma once
// Standard input held whole in a temporary file, so that it can be read twice like any file:
// a pipe can be read only once, and carries no size.
#include <cstdint>
#include <string>
#include <string_view>

struct InputCopy {
    std::string Path;    // the temporary file; empty when there is none
    std::uint8_t Error;  // the first failure's file error number; 0 when all is well
    std::string Cause;   // why it happened, in a few words, and the temporary folder where
                         // the copy failed there; or empty
};

// Copies standard input, to its end, into a fresh temporary file (TMPDIR, else /tmp; the
// user's temporary folder on Windows). On failure nothing is left behind. Until it is removed,
// a signal that ends the process removes it first.
InputCopy CopyStandardInput();

// Removes the copy; a copy that failed has nothing to remove.
void RemoveInputCopy(InputCopy& copy);
