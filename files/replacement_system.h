#pragma once
// What a replacement file needs of the system, one function per step, realised for POSIX
// (files/posix/replacement_system.cpp) and Windows (files/windows/replacement_system.cpp).
// Every failure comes back as the program's file error number, 0 meaning success.
#include <cstdint>
#include <string>

#include "files/channels.h"

enum class ReplacementWay {
    ThroughTemporary,  // a missing name or a regular file: a temporary file is renamed over it
    InPlace,           // a regular file of more than one name: emptied and written into, so
                       // every name sees the new content
    Straight,          // anything else: written straight into, as an output channel would
};

// How the NUL-terminated name is replaced, and the path of the file that ends up written:
// for a link, the file it leads to, so the link stays a link; for a link to a missing file,
// the missing name it leads to.
std::uint8_t ChooseReplacementWay(const char* name, ReplacementWay* way, std::string* finalPath);

// Creates an empty file of a fresh name in the folder of finalPath, open for writing, and
// until it is renamed or removed has it removed should an interrupt or termination signal end
// the process. On POSIX, where a file is at finalPath, it is readable by its owner alone until
// CopyOwnerAndPermissions gives it that file's permissions.
std::uint8_t CreateTemporaryBeside(const std::string& finalPath, std::string* temporaryPath,
                                   SystemFile* handle);

// Gives the temporary file the owner and group (where the system allows it) and the
// permission bits of the file it replaces.
std::uint8_t CopyOwnerAndPermissions(SystemFile from, SystemFile to);

// Renames the temporary file over finalPath; it is no longer removed on a signal. held is the
// replaced file's hold (or -1), which a system that cannot rename over an open file lets go
// of first (*held is then -1); the caller closes it if it is still there.
std::uint8_t PutTemporaryInPlace(const std::string& temporaryPath, const std::string& finalPath,
                                 SystemFile* held);

// Removes the temporary file; it is no longer removed on a signal.
std::uint8_t RemoveTemporary(const std::string& temporaryPath);

// Creates an empty file of a fresh name in the system's folder for temporary files (TMPDIR,
// else /tmp; on Windows the user's temporary folder), open for writing and, on POSIX, readable
// by its owner alone. It is removed on a signal as CreateTemporaryBeside's file is. *folder
// becomes that folder, with its separator, where it is known, to be named should the copy fail.
std::uint8_t CreateTemporaryForInput(std::string* folder, std::string* temporaryPath,
                                     SystemFile* handle);

// The process's standard input, read as bytes (binary mode on Windows); it is never closed.
SystemFile StandardInputFile();

// True when standard input is a regular file and the NUL-terminated path names that same file.
bool StandardInputIsFile(const char* path);

// One read from standard input; *arrived is 0 only at its end (a pipe whose writer has gone
// included).
std::uint8_t ReadStandardInput(SystemFile handle, void* target, std::size_t count,
                               std::size_t* arrived);

// The process's standard output, ready to be written; it is never closed.
SystemFile StandardOutputFile();

// One write to standard output, as WriteSystemFile writes; a pipe whose reader has gone is the
// failure NoReader.
std::uint8_t WriteStandardOutput(SystemFile handle, const void* source, std::size_t count,
                                 std::size_t* taken);
