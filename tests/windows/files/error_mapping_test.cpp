// The program's number for every system error value: the table of the file module, value by
// value, and its default.
#include <gtest/gtest.h>

#include <cstdint>

#include "files/windows/system_calls.h"

namespace {

struct MappingCase {
    std::uint32_t SystemError;
    std::uint8_t Expected;
};

// Every value from 1 to 39 has its own row: the whole table below 40.
constexpr MappingCase BelowForty[] = {
    {1, 75},  {2, 53},   {3, 76},  {4, 67},  {5, 70},  {6, 51},  {7, 241}, {8, 7},
    {9, 241}, {10, 241}, {11, 51}, {12, 51}, {13, 51}, {14, 7},  {15, 68}, {16, 75},
    {17, 74}, {18, 53},  {19, 70}, {20, 68}, {21, 71}, {22, 51}, {23, 72}, {24, 51},
    {25, 72}, {26, 72},  {27, 72}, {28, 72}, {29, 72}, {30, 72}, {31, 72}, {32, 70},
    {33, 70}, {34, 72},  {35, 75}, {36, 70}, {37, 75}, {38, 62}, {39, 61},
};

TEST(ErrorMappingTest, EveryValueBelowFortyHasItsNumber) {
    for (const MappingCase& c : BelowForty) {
        EXPECT_EQ(FileErrorForSystemError(c.SystemError), c.Expected) << "error " << c.SystemError;
    }
}

// From 40 up only the full disk has a number of its own.
TEST(ErrorMappingTest, FromFortyUpOnlyTheFullDiskIsNot75) {
    EXPECT_EQ(FileErrorForSystemError(112), 61);  // ERROR_DISK_FULL
    for (std::uint32_t value = 40; value < 2000; ++value) {
        if (value == 112) continue;
        EXPECT_EQ(FileErrorForSystemError(value), 75) << "error " << value;
    }
    EXPECT_EQ(FileErrorForSystemError(123), 75);  // ERROR_INVALID_NAME
    EXPECT_EQ(FileErrorForSystemError(131), 75);  // ERROR_NEGATIVE_SEEK
    EXPECT_EQ(FileErrorForSystemError(183), 75);  // ERROR_ALREADY_EXISTS
    EXPECT_EQ(FileErrorForSystemError(0xFFFFFFFFu), 75);
}

}  // namespace
