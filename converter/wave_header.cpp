#include "converter/wave_header.h"

#include "files/byte_string.h"

std::string SignalFileName(std::string_view waveName) {
    return Concatenate(LeftPart(waveName, ByteLength(waveName) - 3), "sig");
}
