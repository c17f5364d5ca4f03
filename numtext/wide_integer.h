#pragma once
// The 128-bit steps of the extended arithmetic: a full 64 x 64 product and a 128 / 64
// division. GCC and Clang have a 128-bit integer type; other compilers get the plain
// 64-bit code below, which NORVISTRAND_PORTABLE_WIDE selects everywhere, so that a test
// build (numtext_portable_tests) runs it against the 128-bit type.
#include <cstdint>

// A 128-bit value as two 64-bit halves.
struct WideValue {
    std::uint64_t High;  // bits 64 to 127
    std::uint64_t Low;   // bits 0 to 63
};

// The quotient and remainder of a 128-bit value divided by a 64-bit one.
struct WideQuotient {
    std::uint64_t Quotient;
    std::uint64_t Remainder;
};

#if defined(__SIZEOF_INT128__) && !defined(NORVISTRAND_PORTABLE_WIDE)

__extension__ typedef unsigned __int128 UnsignedWide;

inline WideValue MultiplyWide(std::uint64_t a, std::uint64_t b) {
    const UnsignedWide product = static_cast<UnsignedWide>(a) * b;
    return WideValue{static_cast<std::uint64_t>(product >> 64),
                     static_cast<std::uint64_t>(product)};
}

// (high:low) / divisor; high < divisor, so the quotient fits in 64 bits. x86-64 divides 128
// bits by 64 in one instruction, which the compiler's general 128-bit division only reaches
// after a call and some tests.
inline WideQuotient DivideWide(std::uint64_t high, std::uint64_t low, std::uint64_t divisor) {
#if defined(__x86_64__)
    std::uint64_t quotient = 0;
    std::uint64_t remainder = 0;
    asm("divq %4" : "=a"(quotient), "=d"(remainder) : "a"(low), "d"(high), "rm"(divisor));
    return WideQuotient{quotient, remainder};
#else
    const UnsignedWide dividend = (static_cast<UnsignedWide>(high) << 64) | low;
    return WideQuotient{static_cast<std::uint64_t>(dividend / divisor),
                        static_cast<std::uint64_t>(dividend % divisor)};
#endif
}

#else

inline WideValue MultiplyWide(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t mask = 0xFFFFFFFF;
    const std::uint64_t aLow = a & mask, aHigh = a >> 32, bLow = b & mask, bHigh = b >> 32;
    const std::uint64_t lowLow = aLow * bLow;
    const std::uint64_t middle = aHigh * bLow + (lowLow >> 32);  // cannot overflow
    const std::uint64_t middle2 = aLow * bHigh + (middle & mask);
    return WideValue{aHigh * bHigh + (middle >> 32) + (middle2 >> 32),
                     (middle2 << 32) | (lowLow & mask)};
}

// One quotient bit at a time: slow, but plain.
inline WideQuotient DivideWide(std::uint64_t high, std::uint64_t low, std::uint64_t divisor) {
    std::uint64_t quotient = 0;
    for (int i = 0; i < 64; ++i) {
        const bool carry = (high >> 63) != 0;
        high = (high << 1) | (low >> 63);
        low <<= 1;
        quotient <<= 1;
        if (carry || high >= divisor) {
            high -= divisor;
            quotient |= 1;
        }
    }
    return WideQuotient{quotient, high};
}

#endif

// For many divisions by one divisor with its top bit set: floor((2^128 - 1) / divisor) - 2^64,
// the reciprocal DivideWideBy needs.
inline std::uint64_t WideReciprocal(std::uint64_t divisor) {
    return DivideWide(~divisor, ~std::uint64_t{0}, divisor).Quotient;
}

// DivideWide's quotient and remainder by a divisor with its top bit set, from its reciprocal:
// two multiplications and at most two corrections instead of a division (the 2-by-1 division
// of Moller and Granlund, "Improved division by invariant integers", 2011). high < divisor.
inline WideQuotient DivideWideBy(std::uint64_t high, std::uint64_t low, std::uint64_t divisor,
                                 std::uint64_t reciprocal) {
    const WideValue product = MultiplyWide(reciprocal, high);
    const std::uint64_t estimateLow = product.Low + low;
    std::uint64_t quotient = product.High + high + 1 + (estimateLow < low ? 1 : 0);
    std::uint64_t remainder = low - quotient * divisor;
    // Half the time, so done with a mask rather than a branch.
    const std::uint64_t over = 0 - std::uint64_t{remainder > estimateLow};
    quotient += over;
    remainder += over & divisor;
    if (remainder >= divisor) {
        ++quotient;
        remainder -= divisor;
    }
    return WideQuotient{quotient, remainder};
}
