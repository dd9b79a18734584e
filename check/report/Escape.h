// The one place where a version's bytes and names are made safe to show.
// A version may print, and a learner may name a folder, anything: a
// newline that starts a forged line, a CR or an escape sequence that
// rewrites the instructor's screen, a NUL, bytes that are not UTF-8, a name
// that a shell or a program would take for an option.  Every report shows
// such a text only through one of these.
#pragma once

#include <cstddef>
#include <string>

// A text as a C++ string literal: in double quotes, with \n, \t, \\, \" and
// \xNN for the other bytes below 32 or above 126, so that every blank, tab
// and line end can be seen, and the text could be pasted into a program.
std::string quoted(const std::string& text);

// A name of a version, a case or a file as the reports show it: as it is
// when it is printable ASCII, neither starts nor ends with a blank and
// cannot be taken for an option; else quoted.  A long name is cut, and
// "..." after the quotes says so.
std::string shownName(const std::string& name);

// A word of a command as the reports show it: as it is when it is
// printable ASCII without blanks or quotes, else quoted.
std::string shownWord(const std::string& word);

// A line in the checker's own words, which may quote a version's bytes:
// anything else than printable ASCII in it is shown as \xNN.
std::string shownLine(const std::string& line);

// Whether the text is well-formed UTF-8: no surrogate (U+D800 to U+DFFF),
// no overlong form, no code point above U+10FFFF, no sequence cut short.
bool isUtf8(const std::string& text);

// The text with each byte that is not part of well-formed UTF-8 replaced by
// U+FFFD, so that JSON, XML and HTML readers accept it.
std::string asUtf8(const std::string& text);

// The first `most` characters of a text, a byte that is not UTF-8 counting
// as one, as exercism's results.json counts its output.
std::string firstCharacters(const std::string& text, std::size_t most);

// Text for XML 1.0, as element content (newlines kept) or as an attribute's
// value.  XML forbids most control characters even as references, so they
// are shown visibly, as \x01; so are CR, DEL, the C1 controls and the two
// noncharacters U+FFFE and U+FFFF.
std::string xmlText(const std::string& text);
std::string xmlAttribute(const std::string& text);

// Text for HTML, in an element or in a quoted attribute: as XML's, with the
// single quote escaped too.
std::string htmlText(const std::string& text);

// A CSV field as RFC 4180 quotes it, when it holds a comma, a double quote
// or a line end.  A field that a spreadsheet would take for a formula (it
// starts with =, +, - or @) starts with ' instead.
std::string csvField(const std::string& text);

// A TAP test's description: '#' would start a directive and a newline a
// line of its own; both, the backslash that escapes them, and any byte
// that is not printable ASCII, are escaped.
std::string tapDescription(const std::string& text);
