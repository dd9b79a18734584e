#include "report/Escape.h"

#include <algorithm>
#include <cstdio>

namespace {

// How much of a name is shown: enough to tell two folders apart, little
// enough that a name cannot flood a report.
constexpr std::size_t NAME_SHOWN = 160;

bool printable(unsigned char byte) {
    return byte >= 32 && byte < 127;
}

std::string hexByte(unsigned char byte) {
    char code[8];
    std::snprintf(code, sizeof code, "\\x%02x", byte);
    return code;
}

// The length of the well-formed UTF-8 character at `at`, and its code
// point, or 0 when the byte there starts none (Unicode's table 3-7).
std::size_t characterAt(const std::string& text, std::size_t at, char32_t& codePoint) {
    const auto byte = [&](std::size_t k) -> unsigned {
        return at + k < text.size() ? static_cast<unsigned char>(text[at + k]) : 0x100;
    };
    const unsigned first = byte(0);
    if (first < 0x80) {
        codePoint = first;
        return 1;
    }
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xbf;
    if (first >= 0xc2 && first <= 0xdf) {
        length = 2;
    } else if (first >= 0xe0 && first <= 0xef) {
        length = 3;
        low = first == 0xe0 ? 0xa0 : 0x80;   // no overlong form
        high = first == 0xed ? 0x9f : 0xbf;  // no surrogate
    } else if (first >= 0xf0 && first <= 0xf4) {
        length = 4;
        low = first == 0xf0 ? 0x90 : 0x80;   // no overlong form
        high = first == 0xf4 ? 0x8f : 0xbf;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    char32_t value = first & (0x7f >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned next = byte(k);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xbf)) {
            return 0;
        }
        value = (value << 6) | (next & 0x3f);
    }
    codePoint = value;
    return length;
}

// Code points that XML 1.0 forbids or that a terminal may take as a
// control: shown as an escape instead.
bool markupControl(char32_t codePoint) {
    return (codePoint < 0x20 && codePoint != '\n' && codePoint != '\t') ||
           (codePoint >= 0x7f && codePoint <= 0x9f) || codePoint == 0xfffe || codePoint == 0xffff;
}

std::string markupText(const std::string& text, bool attribute, bool html) {
    const std::string utf8 = asUtf8(text);
    std::string shown;
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t codePoint = 0;
        const std::size_t length = characterAt(utf8, at, codePoint);
        if (markupControl(codePoint)) {
            char code[12];
            std::snprintf(code, sizeof code, codePoint < 0x100 ? "\\x%02x" : "\\u%04x",
                          static_cast<unsigned>(codePoint));
            shown += code;
        } else if (codePoint == '&') {
            shown += "&amp;";
        } else if (codePoint == '<') {
            shown += "&lt;";
        } else if (codePoint == '>') {
            shown += "&gt;";
        } else if (codePoint == '"') {
            shown += "&quot;";
        } else if (codePoint == '\'' && html) {
            shown += "&#39;";
        } else if (attribute && (codePoint == '\n' || codePoint == '\t')) {
            // An attribute's line ends and tabs would be read as blanks.
            shown += codePoint == '\n' ? "&#10;" : "&#9;";
        } else {
            shown += utf8.substr(at, length);
        }
        at += length;
    }
    return shown;
}

}  // namespace

std::string quoted(const std::string& text) {
    std::string shown = "\"";
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        shown += c == '\n'          ? "\\n"
                 : c == '\t'        ? "\\t"
                 : c == '\\'        ? "\\\\"
                 : c == '"'         ? "\\\""
                 : !printable(byte) ? hexByte(byte)
                                    : std::string(1, c);
    }
    return shown + "\"";
}

std::string shownName(const std::string& name) {
    const std::string start = name.substr(0, NAME_SHOWN);
    const bool plain = !start.empty() && start.front() != '-' && start.front() != ' ' &&
                       start.back() != ' ' && std::all_of(start.begin(), start.end(), [](char c) {
                           return printable(static_cast<unsigned char>(c)) && c != '"' && c != '\\';
                       });
    return (plain ? start : quoted(start)) + (name.size() > NAME_SHOWN ? "..." : "");
}

std::string shownWord(const std::string& word) {
    const std::string start = word.substr(0, NAME_SHOWN);
    const bool plain = !start.empty() && std::all_of(start.begin(), start.end(), [](char c) {
        return printable(static_cast<unsigned char>(c)) && c != ' ' && c != '"' && c != '\\' &&
               c != '\'';
    });
    return (plain ? start : quoted(start)) + (word.size() > NAME_SHOWN ? "..." : "");
}

std::string shownLine(const std::string& line) {
    std::string shown;
    for (const char c : line) {
        const unsigned char byte = static_cast<unsigned char>(c);
        shown += printable(byte) ? std::string(1, c) : hexByte(byte);
    }
    return shown;
}

bool isUtf8(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        char32_t codePoint = 0;
        const std::size_t length = characterAt(text, at, codePoint);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

std::string asUtf8(const std::string& text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t codePoint = 0;
        const std::size_t length = characterAt(text, at, codePoint);
        utf8 += length == 0 ? "\xef\xbf\xbd" : text.substr(at, length);
        at += std::max<std::size_t>(length, 1);
    }
    return utf8;
}

std::string firstCharacters(const std::string& text, std::size_t most) {
    std::size_t at = 0;
    for (std::size_t count = 0; count < most && at < text.size(); ++count) {
        char32_t codePoint = 0;
        at += std::max<std::size_t>(characterAt(text, at, codePoint), 1);
    }
    return text.substr(0, at);
}

std::string xmlText(const std::string& text) {
    return markupText(text, false, false);
}

std::string xmlAttribute(const std::string& text) {
    return markupText(text, true, false);
}

std::string htmlText(const std::string& text) {
    return markupText(text, true, true);
}

std::string csvField(const std::string& text) {
    const std::string field =
        !text.empty() && std::string("=+-@").find(text.front()) != std::string::npos ? "'" + text
                                                                                     : text;
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quotedField = "\"";
    for (const char c : field) {
        quotedField += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quotedField + "\"";
}

std::string tapDescription(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        shown += c == '#'           ? "\\#"
                 : c == '\\'        ? "\\\\"
                 : c == '\n'        ? "\\n"
                 : !printable(byte) ? hexByte(byte)
                                    : std::string(1, c);
    }
    return shown;
}
