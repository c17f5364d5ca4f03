#pragma once
// The program's arithmetic convention: x87 extended precision (64-bit significand),
// round to nearest with ties to even, every floating-point exception masked.
#include <cstdint>
#include <fenv.h>

#if !defined(__x86_64__)
#error "Norvistrand needs an x86-64 target: its arithmetic is x87 80-bit long double."
#endif
static_assert(sizeof(long double) >= 10 && __LDBL_MANT_DIG__ == 64,
              "long double must be the x87 80-bit extended type");

// x87 control word: precision control 11 (64-bit significand), rounding 00 (nearest even),
// all six exception masks set.
inline constexpr std::uint16_t ProgramControlWord = 0x037F;

// Puts the x87 and SSE units into the program's convention.
void SetProgramFloatingPoint();

// The x87 control word as it stands now.
std::uint16_t ReadControlWord();

// The whole floating-point environment, saved around a system call and put back after it.
struct SavedFloatingPoint {
    fenv_t Environment;
};
SavedFloatingPoint SaveFloatingPoint();
void RestoreFloatingPoint(const SavedFloatingPoint& saved);
