#include <algorithm>
#include <cstdio>

#include "harness.h"

std::string visible(const std::string& text) {
    std::string shown;
    for (unsigned char c : text) {
        char code[8];
        std::snprintf(code, sizeof code, "\\x%02x", c);
        shown += c == '\n'            ? "\\n\n"
                 : c == '\t'          ? "\\t"
                 : c == ' '           ? "\xc2\xb7"  // a middle dot marks every blank
                 : c < 32 || c >= 127 ? code
                                      : std::string(1, static_cast<char>(c));
    }
    return shown;
}

namespace {

// The lines of a text, and after its last newline what follows it ("" when
// the text ends in a newline), so that a missing newline at the end shows.
std::vector<std::string> linePieces(const std::string& text) {
    std::vector<std::string> pieces = splitLines(text);
    if (text.empty() || text.back() == '\n') {
        pieces.push_back("");
    }
    return pieces;
}

}  // namespace

Expected::Expected(const fs::path& path)
    : bytes(readFile(path)), pattern(path.extension() == ".match") {}

std::string Expected::differenceFrom(const std::string& actual) const {
    if (!pattern) {
        const auto offset =
            std::mismatch(bytes.begin(), bytes.end(), actual.begin(), actual.end()).first -
            bytes.begin();
        return bytes == actual
                   ? ""
                   : "output differs from byte " + std::to_string(offset) + " on\n--- expected\n" +
                         visible(bytes) + "\n--- actual\n" + visible(actual);
    }
    const std::vector<std::string> want = linePieces(bytes), got = linePieces(actual);
    for (std::size_t i = 0; i < want.size() && i < got.size(); ++i) {
        if (!matchesLine(got[i], want[i])) {
            return "line " + std::to_string(i + 1) +
                   " differs:\n  expected pattern: " + visible(want[i]) +
                   "\n  actual:           " + visible(got[i]);
        }
    }
    return want.size() == got.size() ? ""
                                     : "expected " + std::to_string(want.size()) +
                                           " line pieces, got " + std::to_string(got.size());
}

bool Expected::beginsWith(const std::string& actual) const {
    if (!pattern) {
        return bytes.compare(0, actual.size(), actual) == 0;
    }
    const std::vector<std::string> want = linePieces(bytes), got = linePieces(actual);
    const std::size_t last = got.size() - 1;
    if (got.size() > want.size()) {
        return false;
    }
    for (std::size_t i = 0; i < last; ++i) {
        if (!matchesLine(got[i], want[i])) {
            return false;
        }
    }
    const std::string& line = want[last];
    const std::size_t literal = std::min(firstPlaceholder(line), line.size());
    const std::size_t compared = std::min(literal, got[last].size());
    return got[last].compare(0, compared, line, 0, compared) == 0 &&
           (literal < line.size() || got[last].size() <= line.size());
}
