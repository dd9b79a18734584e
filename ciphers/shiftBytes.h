#pragma once

#include <cstddef>

// Moves every byte of text[0, size) as shiftChar moves a character, in
// place.  Blocks of 64 bytes go through the same rule written so that the
// compiler applies it to 16 bytes with one instruction: a long line costs a
// few instructions per 16 bytes instead of several tests per byte.
void shiftBytes(char* text, std::size_t size, int shift);
