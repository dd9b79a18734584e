// The output a case expects, and how a program's output differs from it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "report/Escape.h"   // quoted(), in which the differences are shown
#include "report/Results.h"  // DifferingLine

// A .out file byte for byte, or a .match file line by line with
// placeholders (ExpectedText.h).
class Expected {
public:
    explicit Expected(const std::filesystem::path& path);
    Expected(std::string text, bool pattern) : text(std::move(text)), pattern(pattern) {}

    const std::string text;
    const bool pattern;

    // The lines of actual that are not the expected ones, compared line by
    // line, at most `most` of them: none when actual is the whole expected
    // output, or with !wholeOutput how it begins (its last line may be
    // unfinished).
    std::vector<DifferingLine> differences(const std::string& actual, bool wholeOutput,
                                           std::size_t most = 3) const;

    // Where actual, how the expected output begins, ends in the expected
    // text: its length for a .out; for a .match, the pattern's lines that
    // actual holds whole, and the unfinished line's bytes after them.
    std::size_t positionAfter(const std::string& actual) const;

    // Whether an actual line (with its newline, if it has one) is the
    // wanted one; an unfinished line need only be how it begins.
    bool lineFits(const std::string& actual, const std::string& wanted, bool finished) const;
};

// A line that differs, as a report shows it: the two lines, or excerpts of
// them around where they part when they are long, and where they part.
DifferingLine differingLine(std::size_t number, const std::string& wanted, const std::string& got,
                            bool pattern);

// The lines of a text, each with its newline; the last may have none.
std::vector<std::string> linesWithEnds(const std::string& text);
