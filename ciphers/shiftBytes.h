#pragma once

#include <cstddef>

// Moves every byte of text[0, size) as shiftChar moves a character, in
// place.  Blocks of 64 bytes go through the same rule written so that an
// optimising compiler can do each of its steps on 16 bytes at once: a long
// line then costs a few vector instructions per 16 bytes instead of several
// tests per byte.  Nothing in C++ promises it.  At -O2, as this build
// compiles, g++ 12 does it for amd64, arm64 and i386 (with the SSE2 this
// build asks for there), and clang++ 14 for amd64; not for armhf, where
// Debian's compiler assumes no NEON vector unit, and not without
// optimisation.  The bytes come out the same either way.
void shiftBytes(char* text, std::size_t size, int shift);
