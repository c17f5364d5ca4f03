#pragma once
// The program's arithmetic convention: x87 extended precision (64-bit significand),
// round to nearest with ties to even, every floating-point exception masked.
#include <fenv.h>

#include <cstdint>

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

// The parts of the floating-point state that any code could change: the x87 control and
// status words and MXCSR. Reading them takes three cheap stores, where saving the whole
// environment costs an fnstenv and putting it back an fldenv.
struct FloatingPointWords {
    std::uint16_t Control;
    std::uint16_t Status;
    std::uint32_t Mxcsr;
};

inline FloatingPointWords ReadFloatingPointWords() {
    FloatingPointWords words{};
    // The memory clobber keeps the reads where they stand relative to the calls around them.
    asm volatile("fnstcw %0\n\tfnstsw %1\n\tstmxcsr %2"
                 : "=m"(words.Control), "=m"(words.Status), "=m"(words.Mxcsr)
                 :
                 : "memory");
    return words;
}

// Puts all three words back, the status word with its flags and stack top. The x87
// registers and tag word are left as they are.
void PutBackFloatingPointWords(const FloatingPointWords& saved);

// Where a call can change nothing but these words, this keeps the state as it was around
// it at the cost of the three reads when nothing changed.
inline void KeepFloatingPointWords(const FloatingPointWords& saved) {
    const FloatingPointWords now = ReadFloatingPointWords();
    if (now.Control != saved.Control || now.Status != saved.Status || now.Mxcsr != saved.Mxcsr) {
        PutBackFloatingPointWords(saved);
    }
}
