#pragma once
// The setting side of the sticky file error number; TakeFileError (files/channels.h) is the
// only way to read it.
#include <cstdint>

// Stores a failure's number, replacing any earlier one. 0 is never stored this way.
void SetFileError(std::uint8_t number);
