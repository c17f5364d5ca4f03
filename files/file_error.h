#pragma once
// The file error numbers, and the setting side of the sticky file error number; TakeFileError
// (files/channels.h) is the only way to read it. 0 means no error.
#include <cstdint>
#include <string_view>

// Numbers the channels' own checks set.

// No memory for a channel, an array's storage or a string.
inline constexpr std::uint8_t NoMemory = 7;
// An array of no elements, or of more bytes than 32 bits count.
inline constexpr std::uint8_t BadSize = 9;
// The channel is not open; also a negative channel number at the open.
inline constexpr std::uint8_t ChannelNotOpen = 52;
// The channel's mode or kind does not allow the operation.
inline constexpr std::uint8_t WrongModeOrKind = 54;
// An open of a channel that is open already.
inline constexpr std::uint8_t ChannelAlreadyOpen = 55;
// A device took fewer bytes than it was given.
inline constexpr std::uint8_t DeviceWriteShort = 57;
// No room left on the disk; also a disk file that took fewer bytes than it was given.
inline constexpr std::uint8_t DiskFull = 61;
// An array read from a position below 1.
inline constexpr std::uint8_t BadPosition = 63;
// An empty name, or one holding "*" or "?".
inline constexpr std::uint8_t BadFileName = 64;
// Standard output is a pipe whose reader has gone (no system error maps to it).
inline constexpr std::uint8_t NoReader = 59;

// Numbers for the system's errors, by meaning.

// A handle, data format or length the system refused.
inline constexpr std::uint8_t BadFileHandle = 51;
// The name is missing from a folder that exists.
inline constexpr std::uint8_t FileNotFound = 53;
// The system reported the end of the file as an error.
inline constexpr std::uint8_t PastEndOfFile = 62;
// No handle left to open one more file.
inline constexpr std::uint8_t TooManyFiles = 67;
// No such drive, unit or device.
inline constexpr std::uint8_t DeviceUnavailable = 68;
// No permission, not a file that can be opened so, or held by another program.
inline constexpr std::uint8_t AccessRefused = 70;
// The drive is not ready.
inline constexpr std::uint8_t DeviceNotReady = 71;
// The device failed to read, write or move.
inline constexpr std::uint8_t DeviceIoError = 72;
// A rename to another disk.
inline constexpr std::uint8_t RenameAcrossDisks = 74;
// A name the system calls malformed, and every system error without a closer number.
inline constexpr std::uint8_t BadSystemName = 75;
// A folder on the way to the name is missing.
inline constexpr std::uint8_t PathNotFound = 76;
// The system's own memory blocks or environment are damaged.
inline constexpr std::uint8_t SystemDamaged = 241;

// Stores a failure's number, replacing any earlier one. 0 is never stored this way.
void SetFileError(std::uint8_t number);

// What a file error number means, in a few lower-case words ("no space left on device").
std::string_view ErrorMeaning(std::uint8_t number);
