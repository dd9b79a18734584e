#pragma once

#include <sstream>
#include <string>

// A value read from typed text through its own extraction operator, as a
// program would read it from the console.
template <typename T>
T readFrom(const std::string& text) {
    std::istringstream in(text);
    T value;
    in >> value;
    return value;
}
