// Byte strings: the little-endian conversions with their short-string rules, the string
// operations that form the signal file name, and want of memory.
#include "files/byte_string.h"

#include <cstring>

#include "files/channels.h"
#include "files/file_error.h"
#include "tests/files/file_test_support.h"

namespace {

ByteString Bytes(std::initializer_list<unsigned char> bytes) {
    return ByteString(bytes.begin(), bytes.end());
}

struct ConversionCase {
    const char* Label;
    ByteString Input;
    std::int32_t Int32;
    std::int16_t Int16;
    std::uint8_t First;
};

// Short strings read as if zero bytes followed them, so 3 bytes are never negative.
TEST(ByteStringTest, ConversionsAreLittleEndianWithMissingBytesZero) {
    const ConversionCase cases[] = {
        {"four bytes", Bytes({0x01, 0x02, 0x03, 0x04}), 0x04030201, 0x0201, 0x01},
        {"four bytes, sign set", Bytes({0xFE, 0xFF, 0xFF, 0xFF}), -2, -2, 0xFE},
        {"most negative", Bytes({0x00, 0x00, 0x00, 0x80}), INT32_MIN, 0, 0},
        {"five bytes: the fifth is not read", Bytes({1, 0, 0, 0, 9}), 1, 1, 1},
        {"three bytes all ones", Bytes({0xFF, 0xFF, 0xFF}), 16777215, -1, 0xFF},
        {"three bytes, top bit of the third", Bytes({0x00, 0x00, 0x80}), 8388608, 0, 0},
        {"two bytes", Bytes({0x34, 0x12}), 0x1234, 0x1234, 0x34},
        {"two bytes, sign set", Bytes({0x00, 0x80}), 32768, INT16_MIN, 0},
        {"one byte", Bytes({0xFF}), 255, 255, 0xFF},
        {"empty", Bytes({}), 0, 0, 0},
        {"zero bytes count", Bytes({0x00, 0x01}), 256, 256, 0},
    };
    for (const ConversionCase& c : cases) {
        EXPECT_EQ(BytesToInt32(c.Input), c.Int32) << c.Label;
        EXPECT_EQ(BytesToInt16(c.Input), c.Int16) << c.Label;
        EXPECT_EQ(FirstByte(c.Input), c.First) << c.Label;
    }
}

TEST(ByteStringTest, LeftPartTakesANegativeCountAsAboveAnyLength) {
    const ByteString s = Bytes({'a', 0, 'c'});
    EXPECT_EQ(LeftPart(s, 0), "");
    EXPECT_EQ(LeftPart(s, 2), Bytes({'a', 0}));
    EXPECT_EQ(LeftPart(s, 3), s);
    EXPECT_EQ(LeftPart(s, 4), s);
    EXPECT_EQ(LeftPart(s, -1), s);
    EXPECT_EQ(LeftPart(s, INT32_MIN), s);
}

TEST(ByteStringTest, SignalNameRule) {
    struct NameCase {
        const char* Wave;
        const char* Signal;
    };
    const NameCase cases[] = {
        {"a", "asig"},    // 1 byte: stays whole
        {"ab", "absig"},  // 2 bytes: stays whole
        {"abc", "sig"},   // 3 bytes: all replaced
        {"take1.wav", "take1.sig"},
        {" T.WAV", " T.sig"},  // no trimming, no case change
    };
    for (const NameCase& c : cases) {
        ByteString signal = Concatenate(LeftPart(c.Wave, ByteLength(c.Wave) - 3), "sig");
        EXPECT_EQ(signal, c.Signal) << c.Wave;
    }
}

TEST(ByteStringTest, StringsHoldAnyBytes) {
    const unsigned char element[3] = {0x00, 0xFF, 0x80};
    ByteString copied = BytesFromMemory(element, 3);
    EXPECT_EQ(ByteLength(copied), 3);
    EXPECT_EQ(BytesToInt32(copied), 0x80FF00);
    EXPECT_EQ(Concatenate(copied, Bytes({0})), Bytes({0x00, 0xFF, 0x80, 0x00}));
    EXPECT_EQ(BytesFromMemory(element, 0), "");
}

TEST(ByteStringTest, CompareBytesCountsCaseLengthAndZeroBytes) {
    EXPECT_TRUE(CompareBytes("RIFF", "RIFF"));
    EXPECT_FALSE(CompareBytes("RIFF", "riff"));
    EXPECT_FALSE(CompareBytes("RIFF", "RIF"));
    EXPECT_FALSE(CompareBytes("WAVE", Bytes({'W', 'A', 'V', 'E', 0})));
    EXPECT_TRUE(CompareBytes("", ""));
}

// Under a small address-space limit the copies cannot get their memory: NoMemory, empty
// result, and the process goes on. The sanitizers need the address space, so not under them.
TEST(ByteStringTest, WantOfMemoryGives7AndTheEmptyString) {
    if (UnderAddressSanitizer) {
        GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
    }
    pid_t pid = fork();
    if (pid == 0) {
        LimitAddressSpace();
        static const char small[8] = {};
        // The copy asks for its memory before it reads a byte, so the 8-byte block suffices.
        if (BytesFromMemory(small, INT32_MAX) != "" || TakeFileError() != NoMemory) _exit(1);
        std::string_view huge(small, std::size_t{1} << 31);
        if (Concatenate(huge, huge) != "" || TakeFileError() != NoMemory) _exit(2);
        if (LeftPart(huge, -1) != "" || TakeFileError() != NoMemory) _exit(3);
        _exit(0);
    }
    const int status = WaitForChild(pid);
    if (status == ChildLimitIgnored) GTEST_SKIP() << "the address-space limit does not hold here";
    EXPECT_EQ(status, 0);
}

}  // namespace
