#include "numtext/power_table.h"

#include <cassert>

long double MultipliedPowerOfTen(int exponent) {
    assert(exponent >= 0 && exponent <= LargestPowerExponent);
    long double power = SmallPowersOfTen[exponent % SmallPowerCount];
    int large = exponent / SmallPowerCount;
    for (int i = 0; large != 0; ++i, large >>= 1) {
        if ((large & 1) != 0) {
            power *= LargePowersOfTen[i];
        }
    }
    return power;
}
