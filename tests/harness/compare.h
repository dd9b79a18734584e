// Comparing what a program printed with what its case expects.  A .out file
// must match byte for byte; a .match file line by line with placeholders
// (see case_runner.cpp).
#pragma once

#include <string>

// Shows a text with its invisible bytes spelled out, so a missing blank or
// newline is as plain to see as a wrong digit.
std::string visible(const std::string& text);

bool endsWith(const std::string& text, const std::string& suffix);

class Expected {
public:
    // The expected output kept in path (.out or .match).
    explicit Expected(const std::string& path);

    // Returns an empty string when actual is the whole expected output,
    // else what went wrong.
    std::string differenceFrom(const std::string& actual) const;

    // Whether actual is how the expected output begins.  In a .match file
    // the unfinished last line is compared up to its first placeholder.
    bool beginsWith(const std::string& actual) const;

    bool isPattern() const { return pattern; }
    const std::string& text() const { return bytes; }

private:
    std::string bytes;
    bool pattern;
};
