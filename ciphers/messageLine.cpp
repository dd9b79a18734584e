#include "messageLine.h"

#include <algorithm>
#include <cctype>
#include <istream>

namespace {

// A stream that reports more than this waiting (a big file of many lines)
// gets no more room in advance than this; a longer line still fits, its room
// grows as it is read.
constexpr std::streamsize LARGEST_RESERVATION = std::streamsize{1} << 28;

// The line is taken in pieces of this size.
constexpr std::streamsize PIECE = std::streamsize{1} << 16;

// Room grows fourfold when it runs out, so the copies made on the way add up
// to a third of the line rather than all of it.  Room never written to costs
// address space, not memory.
constexpr std::string::size_type GROWTH = 4;

void makeRoom(std::string& line, std::string::size_type extra) {
    const std::string::size_type needed = line.size() + extra;
    if (needed > line.capacity()) {
        line.reserve(std::max(needed, line.capacity() * GROWTH));
    }
}

// Where the stream can tell how much input is waiting (a file can), room
// is made for all of it at once: the line can be no longer than that.
void reserveWhatIsWaiting(std::istream& in, std::string& line) {
    const std::streamsize waiting = in.rdbuf()->in_avail();
    if (waiting > 0) {
        line.reserve(static_cast<std::string::size_type>(std::min(waiting, LARGEST_RESERVATION)));
    }
}

}  // namespace

bool isWhiteSpace(char c) {
    // isspace is defined only for the values of unsigned char (and EOF).
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

void readWholeLine(std::istream& in, std::string& line) {
    // What std::getline does, with the string grown in fewer, larger steps:
    // doubling it, a line of tens of megabytes is copied over and over.
    const std::istream::sentry ready(in, true);
    if (!ready) {
        return;
    }
    line.clear();
    reserveWhatIsWaiting(in, line);
    char piece[PIECE];
    for (;;) {
        in.getline(piece, PIECE);
        // The stream stays good only when the newline ended the piece; a
        // piece that filled up without one leaves failbit alone set.
        const bool newlineTaken = in.good();
        const bool pieceFull = in.rdstate() == std::ios::failbit && in.gcount() == PIECE - 1;
        const std::streamsize stored = in.gcount() - (newlineTaken ? 1 : 0);
        makeRoom(line, static_cast<std::string::size_type>(stored));
        line.append(piece, static_cast<std::string::size_type>(stored));
        if (!pieceFull) {
            break;
        }
        in.clear(in.rdstate() & ~std::ios::failbit);
    }
}
