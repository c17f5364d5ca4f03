#pragma once
// Standard input held whole in a temporary file, so that it can be read twice like any file:
// a pipe can be read only once, and carries no size. The copy may be made in two steps, so
// that its first bytes can be looked at before the rest is taken.
#include <cstdint>
#include <string>
#include <string_view>

#include "files/channels.h"

struct InputCopy {
    std::string Path;    // the temporary file; empty when there is none
    std::uint8_t Error;  // the first failure's file error number; 0 when all is well
    std::string Cause;   // why it happened, in a few words, and the temporary folder where
                         // the copy failed there; or empty
    bool Whole;          // the copy holds standard input to its end
    SystemFile Handle;   // open on the copy until it is whole; else -1
    std::string Folder;  // the temporary folder, with its separator, where it is known
};

// Copies standard input, to its end, into a fresh temporary file (TMPDIR, else /tmp; the
// user's temporary folder on Windows). On failure nothing is left behind. Until it is removed,
// a signal that ends the process removes it first.
InputCopy CopyStandardInput();

// The same for standard input's first headBytes bytes, or all of it where it ends before;
// FinishInputCopy then takes the rest.
InputCopy BeginInputCopy(std::uint64_t headBytes);
void FinishInputCopy(InputCopy& copy);

// True when standard input is a regular file and path names that same file.
bool InputIsFile(std::string_view path);

// Removes the copy; a copy that failed has nothing to remove.
void RemoveInputCopy(InputCopy& copy);
