#pragma once

#include <cstddef>

// Moves every byte of text[0, size) as shiftChar moves a character, in
// place.  Blocks of 64 bytes go through the same rule written so that an
// optimising compiler can do each of its steps on 16 bytes at once: a long
// line then costs a few vector instructions per 16 bytes instead of several
// tests per byte.  Nothing in C++ promises it; g++ 12 and clang++ 14 do it
// at -O2, as this build compiles, and not without optimisation.
void shiftBytes(char* text, std::size_t size, int shift);
