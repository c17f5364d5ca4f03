#pragma once
// What the channels need of the system, one function per step. POSIX and Windows each realise
// these (files/posix/file_system.cpp, files/windows/file_system.cpp); the build picks one.
// Every call goes through the system's one gate, and every failure comes back as the program's
// file error number, 0 meaning success.
#include <cstddef>
#include <cstdint>

#include "files/channels.h"

// Opens the NUL-terminated path for the mode and does the mode's steps after the open (the
// test read, the move to offset 0, the emptying of an output file). On success the handle and
// the kind are set and 0 comes back; on failure nothing is left open.
std::uint8_t OpenSystemFile(const char* path, OpenMode mode, SystemFile* handle, ChannelKind* kind);

// Opens the NUL-terminated path for reading from its start, as a stream: a FIFO or a pipe
// too, waiting for its writer. No lock is taken and no test read made: for a list of names,
// not for a wave file. A folder is AccessRefused.
std::uint8_t OpenSystemStream(const char* path, SystemFile* handle);

// One read of count bytes at the file pointer; *arrived gets how many came (fewer at the end
// of the file, which is no error).
std::uint8_t ReadSystemFile(SystemFile handle, void* target, std::size_t count,
                            std::size_t* arrived);

// One write of count bytes at the file pointer; *taken gets how many the system took.
std::uint8_t WriteSystemFile(SystemFile handle, const void* source, std::size_t count,
                             std::size_t* taken);

// Moves the file pointer to offset bytes from the start; a negative offset is refused.
std::uint8_t SeekSystemFile(SystemFile handle, std::int64_t offset);

// Cuts the file at offset, which is where its file pointer stands whenever the channels cut.
std::uint8_t CutSystemFile(SystemFile handle, std::int64_t offset);

// Releases the handle; it is gone whether or not the system reports a failure.
std::uint8_t CloseSystemFile(SystemFile handle);

// True when both NUL-terminated paths exist and denote the same file.
bool SameSystemFile(const char* a, const char* b);

// Opens the existing regular file at path for writing, neither emptied nor created, and takes
// the exclusive access every open takes. FileNotFound when there is no such file.
std::uint8_t HoldSystemFile(const char* path, SystemFile* handle);

std::uint8_t StampSystemFile(SystemFile handle, FileStamp* stamp);

// The stamp of the file at the NUL-terminated path, links followed, with no open and so no
// lock: what a file's age is judged by. FileNotFound when there is none.
std::uint8_t StampSystemPath(const char* path, FileStamp* stamp);

// True when the NUL-terminated path names a folder (or a link to one).
bool IsSystemFolder(const char* path);

// The bytes that end a folder's part of a path.
extern const char* const FolderSeparators;
