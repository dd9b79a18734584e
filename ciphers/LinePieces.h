#pragma once

#include <cstddef>
#include <iosfwd>

// Reads one line of a stream as std::getline does (the newline is taken and
// not stored; a stream with no line left gets failbit), but hands it over in
// pieces, so that a line of any length passes through room of a fixed size.
// The stream is read only as far as the line goes, and only when what has
// arrived does not complete the line: at a terminal the line's newline ends
// the reading, however large the room.
class LinePieces {
public:
    explicit LinePieces(std::istream& in) : in(in) {}

    // Stores the next piece of the line at room and returns its length: at
    // most roomSize - 1 bytes (at least 2 is needed), followed by a NUL.
    // Once the line is done every further call stores nothing.
    std::size_t read(char* room, std::size_t roomSize);

    // True once the line's newline or the end of the input has been reached
    // (or the stream had failed before).
    bool done() const { return finished; }

private:
    std::istream& in;
    bool started = false;
    bool finished = false;
};
