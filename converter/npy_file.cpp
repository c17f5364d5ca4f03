#include "converter/npy_file.h"

#include "files/byte_string.h"

namespace {

constexpr std::string_view Magic("\x93NUMPY\x01\x00", 8);
constexpr std::size_t LengthBytes = 2;
constexpr std::size_t Alignment = 64;

}  // namespace

std::string NpyFileName(std::string_view waveName) {
    return Concatenate(LeftPart(waveName, ByteLength(waveName) - 3), "npy");
}

std::string NpyHeader(std::int64_t count) {
    std::string description =
        "{'descr': '<f8', 'fortran_order': False, 'shape': (" + std::to_string(count) + ",), }";
    // One blank at least: a description that would end on the boundary gets a whole line more.
    const std::size_t used = Magic.size() + LengthBytes + description.size() + 1;
    description.append(Alignment - used % Alignment, ' ');
    description += '\n';
    const auto length = static_cast<std::uint16_t>(description.size());
    std::string header(Magic);
    header += static_cast<char>(length & 0xFF);
    header += static_cast<char>(length >> 8);
    return header + description;
}
