#pragma once

// Asks whether to encrypt and reads the answer: true exactly for 1.  An
// answer that is not a number, or none at all, counts as 0.
bool EncyrptOrDecyrpt();

// Asks for a key word and returns its key number: the sum of its character
// codes (each as a signed char), modulo 23 with a truncating remainder, plus 3.
int keyfunc();
