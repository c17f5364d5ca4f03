#include "numtext/power_table.h"

#include <cassert>

ExtendedReal MultipliedPowerOfTen(int exponent) {
    assert(exponent >= 0 && exponent <= LargestPowerExponent);
    ExtendedReal power = ExactPowersOfTen[exponent % SmallPowerCount];
    int large = exponent / SmallPowerCount;
    for (int i = 0; large != 0; ++i, large >>= 1) {
        if ((large & 1) != 0) {
            power = MultiplyExtended(power, LargePowersOfTen[i]);
        }
    }
    return power;
}
