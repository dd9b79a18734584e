#pragma once

// White space in the C locale: blank, tab, newline, vertical tab, form feed
// and carriage return.  A byte of 128 or above is never white space.
bool isWhiteSpace(char c);

// Moves one character by shift.  White space stays; a character whose
// letterVal is below 27 - shift gains the shift, any other loses it.  The
// result is the low 8 bits of the new code.
char shiftChar(char c, int shift);
