#pragma once
// Numbered file channels with a sticky file error number. Positions count from 1. Failures
// are never returned: they set the file error number, which stays until TakeFileError.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "files/byte_string.h"
#include "files/typed_array.h"

enum class OpenMode {
    Test,    // read, must exist; the first 128 bytes are read; only regular files
    Binary,  // read, must exist: the wave file is never written nor created
    Output,  // write, created if missing, emptied
};

// A regular file is a disk file; anything else (folder, FIFO, terminal, device node) a device.
enum class ChannelKind {
    DiskFile,
    Device,
};

// The system's handle of an open file: a file descriptor on POSIX, a HANDLE on Windows.
using SystemFile = std::intptr_t;

// One open channel. The file behind it is held with exclusive access while it is open.
struct FileChannel {
    std::int16_t Number;  // the number it was opened under, 0 or above
    SystemFile Handle;    // released by the close
    ChannelKind Kind;
    OpenMode Mode;
    std::int64_t Offset;  // byte offset of the next read or write, from 0
};

// Only the first this many bytes of a name reach the system.
inline constexpr std::size_t ChannelNameLimit = 255;

void OpenChannel(std::int16_t channel, std::string_view name, OpenMode mode);
// A channel that is not open: nothing happens, the error number is not touched.
void CloseChannel(std::int16_t channel);
// At most n bytes from the current offset; fewer at the end of the file, which is no error.
ByteString ReadBytes(std::int16_t channel, std::int32_t n);
// The next read starts at position p (byte offset p - 1); past the end is no error.
void SeekChannel(std::int16_t channel, std::int64_t p);
// One read of min(n, array.Count) elements from position p straight into the storage; the
// missing bytes of a short read are 0. Returns the number of whole elements read.
std::int32_t ReadArray(std::int16_t channel, std::int64_t p, TypedArray& array, std::int32_t n);
// One write of the text's bytes; EndLine writes CR LF with one write of its own.
void WriteItem(std::int16_t channel, std::string_view text);
void EndLine(std::int16_t channel);
// What tells that a file was changed: its size and the times of its last changes. Two stamps
// of one file differ when anything was written to it between them.
struct FileStamp {
    std::int64_t Size;
    std::int64_t Times[4];  // seconds and nanoseconds of the content's and the status's change

    bool operator==(const FileStamp&) const = default;
};

// The stamp of the channel's file; all zeros, with the error number set, when it fails.
FileStamp StampChannel(std::int16_t channel);

// Why the last failure with this error number happened, in a few lower-case words: the
// system's own reason when the last failing system call gave this number ("file too large",
// "held by another program"), else the number's meaning. Realised with the system steps.
std::string_view FailureCause(std::uint8_t error);

// Returns the file error number and sets it to 0.
std::uint8_t TakeFileError();

// True when both names exist and denote the same file on disk, however they are written.
bool SameFile(std::string_view a, std::string_view b);

// The same for paths the program made (a folder and a name), taken whole: no channel opens
// them, so the limit on a name does not apply.
bool SamePath(std::string_view a, std::string_view b);

// The stamp of the file at the path, taken whole, with no channel and no lock; false when
// there is none to be had.
bool StampPath(std::string_view path, FileStamp& stamp);

// The length in bytes of the file open on the channel; -1, with the file error number set,
// when it cannot be had.
std::int64_t ChannelLength(std::int16_t channel);

// True when the path, taken whole, is that of a folder that exists.
bool IsFolder(std::string_view name);

// The path of the name's last part (what follows its last folder separator) in the folder.
std::string InFolder(std::string_view folder, std::string_view name);
