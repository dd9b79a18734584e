#pragma once

#include <cstddef>
#include <iosfwd>

// Reads one line of a stream as std::getline does (the newline is taken and
// not stored; a stream with no line left gets failbit), but hands it over in
// pieces, so that a line of any length passes through room of a fixed size.
// The stream is read only as far as the line goes (but see PAST_LINE_END),
// and only when what has arrived does not complete the line: at a terminal
// the line's newline ends the reading, however large the room.
class LinePieces {
public:
    // How the pieces after the first are read.  UP_TO_LINE_END reads as the
    // first is read, no further than the line.  PAST_LINE_END takes each
    // piece with std::istream::readsome, whatever has arrived of the input
    // up to the room, in one go; libstdc++'s std::filebuf reads a request
    // larger than its buffer straight into the room, in one system call
    // rather than one per buffer of 8 KiB.  It may take bytes after the
    // line from the stream, so it is for a program that reads nothing after
    // the line.  The first piece is always read no further than the line: a
    // line typed at a terminal (at most 4095 bytes) then fits a room larger
    // than that in one piece, and the lines typed after it are left for
    // the next program.
    enum class After { UP_TO_LINE_END, PAST_LINE_END };

    explicit LinePieces(std::istream& in, After after = After::UP_TO_LINE_END)
        : in(in), after(after) {}

    // Stores the next piece of the line at room and returns its length: at
    // most roomSize - 1 bytes (at least 2 is needed), followed by a NUL.
    // Once the line is done every further call stores nothing.
    std::size_t read(char* room, std::size_t roomSize);

    // True once the line's newline or the end of the input has been reached
    // (or the stream had failed before).
    bool done() const { return finished; }

private:
    std::size_t readOn(char* room, std::size_t roomSize);

    std::istream& in;
    After after;
    bool started = false;
    bool finished = false;
};
