#pragma once

#include <iosfwd>

// Lets the player choose whether an ace (a counted value of 1) counts 1 or
// 11, asking until one of the two is typed.  Any other value is returned
// unchanged without a word.  When a read fails the question is not asked
// again: the stream is left failed for the caller to test, and the value
// returned is then no choice and must not be used (it is even 1 when input
// ends at the first question).
int IF1(int value);
int IF1(int value, std::istream& in, std::ostream& out);
