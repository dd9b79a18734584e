#pragma once

#include <string>

// Asks whether to encrypt and reads the answer: true exactly for 1.  An
// answer that is not a number counts as 0.
bool EncyrptOrDecyrpt();

// Asks for a key word and returns its key number: the sum of its character
// codes (signed 8-bit), modulo 23 with a truncating remainder, plus 3.
int keyfunc();

// Moves one character by shift.  White space stays; a character whose
// letterVal is below 27 - shift gains the shift, any other loses it.  The
// result is the low 8 bits of the new code.
char shiftChar(char c, int shift);

// Applies shiftChar to every character of message, in place.
void shiftMessage(std::string& message, int shift);
