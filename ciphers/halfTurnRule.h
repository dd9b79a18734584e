#pragma once

#include <string>

// Turns one character half way round the lower-case alphabet: white space
// stays; a character whose letterVal is at most 13 gains 13, any other loses
// 13, keeping the low 8 bits of the new code.
char halfTurnChar(char c);

// Applies halfTurnChar to every character of message, in place.
void halfTurnMessage(std::string& message);
