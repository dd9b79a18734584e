#pragma once

// A lower-case letter's place in the alphabet (a is 1, z is 26); any other
// character gives its own code as a signed char, so upper-case letters
// compare as large numbers and bytes above 127 as negative ones.  Where char
// is unsigned, C++17 leaves that conversion of a byte above 127 to the
// compiler; g++ keeps its 8 bits.
int letterVal(char c);
