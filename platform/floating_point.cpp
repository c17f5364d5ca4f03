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

void RestoreFloatingPoint(const SavedFloatingPoint& saved) {
    fesetenv(&saved.Environment);
}

namespace {

// What fnstenv stores and fldenv loads (28 bytes, the 32-bit protected-mode layout): the
// control word at word 0, the status word at word 2.
struct X87Environment {
    std::uint16_t Words[14];
};

}  // namespace

void PutBackFloatingPointWords(const FloatingPointWords& saved) {
    X87Environment environment{};
    asm volatile("fnstenv %0" : "=m"(environment));
    environment.Words[0] = saved.Control;
    environment.Words[2] = saved.Status;
    asm volatile("fldenv %0" : : "m"(environment));
    asm volatile("ldmxcsr %0" : : "m"(saved.Mxcsr));
}
