#pragma once
// A file written whole or not at all. Its bytes go through a large buffer into a temporary
// file beside it, which takes the file's name only once it is complete; on any failure the
// file that had the name stays as it was and the temporary file is removed. The file there
// is held open for writing meanwhile: one that cannot be written (read-only, or held by
// another program) is not replaced. Where no temporary file can be made or renamed over it
// (a folder the user cannot write to, a sticky folder, a mount point), and for a file of more
// than one name, the file is emptied and written in place under that hold: only then does a
// failure lose its old content. Names that are no regular file (a folder, a FIFO, a device)
// are written straight into, as an output channel would.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "files/channels.h"

inline constexpr std::size_t ReplacementBufferSize = 256 * 1024;

struct ReplacementFile {
    std::string FinalPath;      // where the bytes end up
    std::string TemporaryPath;  // beside FinalPath; empty when writing straight into it
    SystemFile Handle;          // the file written; -1 when none is open
    SystemFile Held;            // the file FinalPath names, locked until it is replaced; or -1
    bool Borrowed;              // Handle is standard output: written, never closed
    char* Buffer;               // ReplacementBufferSize bytes not yet written
    std::size_t Used;           // bytes of Buffer in use
    std::uint64_t Drained;      // bytes written out so far
    std::uint8_t Error;         // the first failure's file error number; 0 while all is well
    std::string_view Cause;     // why the first failure happened, in a few words; or empty
    std::string FailedPath;     // the path it happened to; empty for a write
};

// A replacement file with no file behind it and nothing written: what a target that is not
// begun holds, so that ending it does nothing.
ReplacementFile UnopenedReplacement();

// Prepares to replace the file called name. On failure Error is set and nothing is left
// behind; appends are then ignored and the finish reports the failure.
void BeginReplacement(ReplacementFile& file, std::string_view name);

// Prepares to write standard output in the same way: the bytes go straight there, and a
// reader that goes away is the failure NoReader.
void BeginStandardOutput(ReplacementFile& file);

// Writes the buffer out. Only the appends need it.
void DrainReplacementBuffer(ReplacementFile& file);

// Adds bytes of any length; a buffer's worth or more is written from where it is.
void AppendToReplacement(ReplacementFile& file, std::string_view bytes);

// Writes what is left and puts the file in place. Returns the file error number: 0 when the
// file now holds exactly what was appended, else the old file is untouched.
std::uint8_t FinishReplacement(ReplacementFile& file);

// The finish in two steps, for files that are put in place together only once every one of
// them is complete: the rest written and the temporary file closed (on failure as the finish
// fails), then the file put in place.
std::uint8_t CompleteReplacement(ReplacementFile& file);
std::uint8_t PutReplacementInPlace(ReplacementFile& file);

// Gives up: the old file stays, the temporary file goes.
void AbandonReplacement(ReplacementFile& file);
