// Typed arrays: zero-filled storage of N x size bytes, the size limits, and release.
#include "files/typed_array.h"

#include "files/channels.h"
#include "files/file_error.h"
#include "tests/files/file_test_support.h"

namespace {

struct RefusedSize {
    const char* Label;
    ElementType Type;
    std::int32_t Count;
};

TEST(TypedArrayTest, CountsOfZeroOrBelowAndSizesBeyond32BitsGiveBadSize) {
    const RefusedSize cases[] = {
        {"no elements", ElementType::SignedInt16, 0},
        {"negative count", ElementType::UnsignedByte, -1},
        {"most negative count", ElementType::Double, INT32_MIN},
        {"doubles of exactly 4 GiB", ElementType::Double, 0x20000000},
        {"3-byte strings one past the limit", ElementType::FixedString3, 0x55555556},
    };
    for (const RefusedSize& c : cases) {
        TypedArray array = CreateArray(c.Type, c.Count);
        EXPECT_EQ(TakeFileError(), BadSize) << c.Label;
        EXPECT_EQ(array.Storage, nullptr) << c.Label;
        EXPECT_EQ(array.Count, 0u) << c.Label;
        ReleaseArray(array);
        EXPECT_EQ(TakeFileError(), 0) << c.Label;
    }
}

TEST(TypedArrayTest, NewStorageIsZeroFilledAndReleasedOnce) {
    struct Made {
        ElementType Type;
        std::uint32_t Size;
    };
    const Made kinds[] = {{ElementType::UnsignedByte, 1},
                          {ElementType::SignedInt16, 2},
                          {ElementType::FixedString3, 3},
                          {ElementType::Double, 8}};
    for (const Made& kind : kinds) {
        TypedArray array = CreateArray(kind.Type, 1000);
        ASSERT_NE(array.Storage, nullptr);
        EXPECT_EQ(array.ElementSize, kind.Size);
        EXPECT_EQ(array.Count, 1000u);
        for (std::uint32_t i = 0; i < 1000 * kind.Size; ++i) {
            ASSERT_EQ(array.Storage[i], 0) << "byte " << i;
        }
        ReleaseArray(array);
        EXPECT_EQ(array.Storage, nullptr);
        ReleaseArray(array);  // a second release finds no storage and does nothing
    }
    EXPECT_EQ(TakeFileError(), 0);
}

TEST(TypedArrayTest, NoMemoryGives7) {
    if (UnderAddressSanitizer) {
        GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
    }
    pid_t pid = fork();
    if (pid == 0) {
        LimitAddressSpace();
        // Just under 4 GiB: within the size limit, beyond the address space.
        TypedArray array = CreateArray(ElementType::Double, 0x1FFFFFFF);
        _exit(array.Storage == nullptr && array.Count == 0 ? TakeFileError() : ChildCheckFailed);
    }
    const int status = WaitForChild(pid);
    if (status == ChildLimitIgnored) GTEST_SKIP() << "the address-space limit does not hold here";
    EXPECT_EQ(status, NoMemory);
}

}  // namespace
