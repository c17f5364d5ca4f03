#include "platform/floating_point.h"

void SetProgramFloatingPoint() {
    std::uint16_t word = ProgramControlWord;
    asm volatile("fclex\n\tfldcw %0" : : "m"(word));
    // SSE arithmetic (doubles) follows the same rounding with every exception masked.
    std::uint32_t mxcsr = 0x1F80;
    asm volatile("ldmxcsr %0" : : "m"(mxcsr));
}

std::uint16_t ReadControlWord() {
    std::uint16_t word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

SavedFloatingPoint SaveFloatingPoint() {
    SavedFloatingPoint saved{};
    fegetenv(&saved.Environment);
    return saved;
}

void RestoreFloatingPoint(const SavedFloatingPoint& saved) { fesetenv(&saved.Environment); }
