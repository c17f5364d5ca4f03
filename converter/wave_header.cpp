#include "converter/wave_header.h"

#include "files/byte_string.h"
#include "files/typed_array.h"

bool SampleBufferFits(const WaveHeader& header) {
    const std::int64_t n = header.SampleCount;
    return n <= 0 ||
           (n <= INT32_MAX && ArrayFits(ElementType::Double, static_cast<std::int32_t>(n)));
}

std::string SignalFileName(std::string_view waveName) {
    return Concatenate(LeftPart(waveName, ByteLength(waveName) - 3), "sig");
}
