#pragma once

// A lower-case letter's place in the alphabet (a is 1, z is 26); any other
// character gives its own code as a signed 8-bit value, so upper-case
// letters compare as large numbers and bytes above 127 as negative ones.
int letterVal(char c);
