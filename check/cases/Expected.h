// The output a case expects, and how a program's output differs from it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "report/Escape.h"  // quoted(), in which the differences are shown

// A .out file byte for byte, or a .match file line by line with
// placeholders (ExpectedText.h).
class Expected {
public:
    explicit Expected(const std::filesystem::path& path);
    Expected(std::string text, bool pattern) : text(std::move(text)), pattern(pattern) {}

    const std::string text;
    const bool pattern;

    // "" when actual is the whole expected output, else where it differs
    // first: the line's number, then the expected and the actual line.
    std::string differenceFrom(const std::string& actual) const;

    // "" when actual is how the expected output begins (its last line may be
    // unfinished), else where it differs first, as differenceFrom says it.
    std::string differenceFromStart(const std::string& actual) const;

private:
    std::string firstDifference(const std::string& actual, bool wholeOutput) const;
    std::string shownDifference(std::size_t i, const std::string& want,
                                const std::string& got) const;
    bool lineFits(const std::string& actual, const std::string& wanted, bool finished) const;
};

// The lines of a text, each with its newline; the last may have none.
std::vector<std::string> linesWithEnds(const std::string& text);
