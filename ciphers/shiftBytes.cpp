#include "shiftBytes.h"

#include <algorithm>

#include "shiftRule.h"

// shiftChar asks, for each character, whether letterVal(c) < 27 - shift and
// then adds or takes away the shift.  Here the same decision is made with
// byte arithmetic alone, without a branch, so that an optimising compiler can
// turn the loop below into vector instructions that work on 16 bytes at once
// (SSE2, which every x86-64 has).  For a byte c and a threshold t,
// letterVal(c) < t holds exactly when
//   - c, read as a signed byte, is below t (a lower-case letter whose place
//     is not below t is not either: its code is larger than its place), or
//   - c is one of the first t - 1 letters of the alphabet (a is 1, so the
//     letters a up to the one in place t - 1).
// Both are comparisons of signed bytes, which SSE2 makes in one instruction
// (it has none for unsigned bytes).  The change, the shift or minus the
// shift, is taken modulo 256: adding it to the byte keeps the low 8 bits of
// the new code, as shiftChar does.

namespace {

// The rule for one shift, in bytes.
struct ByteRule {
    signed char threshold;    // bytes below it move forward
    signed char letterLimit;  // so do letters whose sinceFirst(c, 'a') is below it
    unsigned char forward;    // the change for those bytes
    unsigned char backward;   // the change for the others
};

ByteRule byteRuleFor(int shift) {
    const unsigned char plus = static_cast<unsigned char>(shift);
    const unsigned char minus = static_cast<unsigned char>(0U - static_cast<unsigned>(shift));
    const long long threshold = 27LL - shift;
    if (threshold > 127) {
        // Above every letterVal: every byte moves forward.  No byte is
        // below -128, so every byte takes the second change.
        return {-128, -128, plus, plus};
    }
    // At -128 or below, no letterVal is below the threshold: every byte
    // moves backward.
    const long long clamped = std::max(threshold, -128LL);
    const long long letters = std::min(std::max(threshold - 1, 0LL), 26LL);
    return {static_cast<signed char>(clamped), static_cast<signed char>(letters - 128), plus,
            minus};
}

// All ones for true, all zeros for false: what a vector comparison gives.
unsigned char mask(bool condition) {
    return condition ? 0xFF : 0;
}

// c - first as a signed byte, less 128: first gives -128, the byte after it
// -127, and so on, so that the count bytes from first on are those below
// count - 128.  SSE2 compares bytes as signed numbers only.
signed char sinceFirst(unsigned char c, unsigned char first) {
    return static_cast<signed char>(static_cast<unsigned char>(c - first + 128));
}

// The vector loop runs over whole blocks of this many bytes, a multiple of
// the 16 bytes of one instruction, so that it needs no loop of its own for
// leftover bytes.
constexpr std::size_t BLOCK = 64;

void shiftBlocks(unsigned char* bytes, std::size_t blocks, ByteRule rule) {
    const signed char threshold = rule.threshold;
    const signed char letterLimit = rule.letterLimit;
    const unsigned char forward = rule.forward;
    const unsigned char backward = rule.backward;
    for (std::size_t block = 0; block < blocks; ++block, bytes += BLOCK) {
        for (std::size_t i = 0; i < BLOCK; ++i) {
            const unsigned char c = bytes[i];
            const unsigned char ahead = mask(static_cast<signed char>(c) < threshold) |
                                        mask(sinceFirst(c, 'a') < letterLimit);
            // Tab, newline, vertical tab, form feed, carriage return: the
            // five bytes from tab on.
            const unsigned char white = mask((c == ' ') | (sinceFirst(c, '\t') < 5 - 128));
            const unsigned char change = (ahead & (forward ^ backward)) ^ backward;
            bytes[i] = static_cast<unsigned char>(c + (change & ~white));
        }
    }
}

}  // namespace

void shiftBytes(char* text, std::size_t size, int shift) {
    const std::size_t whole = size / BLOCK * BLOCK;
    shiftBlocks(reinterpret_cast<unsigned char*>(text), whole / BLOCK, byteRuleFor(shift));
    // The last few bytes, and all of a short line, go through the rule itself.
    for (std::size_t i = whole; i < size; ++i) {
        text[i] = shiftChar(text[i], shift);
    }
}
