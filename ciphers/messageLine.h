#pragma once

#include <iosfwd>
#include <string>

// White space in the C locale: blank, tab, newline, vertical tab, form feed
// and carriage return.  A byte of 128 or above is never white space.
bool isWhiteSpace(char c);

// Reads one whole line into line, as getline does: the newline is consumed
// and not stored.  The line may be many megabytes long.
void readWholeLine(std::istream& in, std::string& line);
