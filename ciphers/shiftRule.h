#pragma once

// White space in the C locale: blank, tab, newline, vertical tab, form feed
// and carriage return.  A byte of 128 or above is never white space.
bool isWhiteSpace(char c);

// Moves one character by shift.  White space stays; a character whose
// letterVal is below 27 - shift gains the shift, any other loses it.  The
// result is the char with the low 8 bits of the new code (where char is
// signed, C++17 leaves a value above 127 to the compiler; g++ keeps the bits).
char shiftChar(char c, int shift);
