#pragma once

#include <cctype>
#include <istream>
#include <ostream>

// Reads the number that answers the question just printed.  The question
// must be on screen before the program waits for the player, so the output
// is flushed when no input is waiting; answers already waiting (typed ahead,
// or piped in by the megabyte) are read without a flush apiece, which would
// cost a system call for each.
inline void readAnswer(std::istream& in, std::ostream& out, int& answer) {
    std::streambuf& typed = *in.rdbuf();
    // The end of the last answer's line must not pass for input waiting.
    while (typed.in_avail() > 0 && std::isspace(static_cast<unsigned char>(typed.sgetc()))) {
        typed.sbumpc();
    }
    if (typed.in_avail() <= 0) {
        out.flush();
    }
    in >> answer;
}
