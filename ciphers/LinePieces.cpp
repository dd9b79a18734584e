#include "LinePieces.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <limits>

std::size_t LinePieces::read(char* room, std::size_t roomSize) {
    if (finished) {
        return 0;
    }
    if (started && after == After::PAST_LINE_END) {
        return readOn(room, roomSize);
    }
    const std::size_t largest = std::numeric_limits<std::streamsize>::max();
    const std::streamsize size = static_cast<std::streamsize>(std::min(roomSize, largest));
    in.getline(room, size);
    const std::streamsize taken = in.gcount();
    if (in.good()) {
        // The newline ended the piece; it was taken but is not stored.
        finished = true;
        return static_cast<std::size_t>(taken - 1);
    }
    if (in.eof()) {
        // The input ended the line.  Only a line with no byte at all is a
        // failed read, and one whose earlier pieces were read is not.
        if (started && taken == 0) {
            in.clear(in.rdstate() & ~std::ios::failbit);
        }
        finished = true;
        return static_cast<std::size_t>(taken);
    }
    if (taken == size - 1 && taken > 0) {
        // The room is full and the line goes on.
        in.clear(in.rdstate() & ~std::ios::failbit);
        started = true;
        return static_cast<std::size_t>(taken);
    }
    // The stream had failed before: there is no line to read.
    finished = true;
    return 0;
}

// The rest of a line begun in an earlier piece, in a piece of whatever has
// arrived; when nothing has, peek waits for more, or finds the end of the
// input, which ends the line (with no failbit: the line began earlier).
std::size_t LinePieces::readOn(char* room, std::size_t roomSize) {
    const std::size_t largest = std::numeric_limits<std::streamsize>::max();
    const std::streamsize size = static_cast<std::streamsize>(std::min(roomSize - 1, largest));
    std::streamsize taken = in.readsome(room, size);
    if (taken == 0 &&
        !std::istream::traits_type::eq_int_type(in.peek(), std::istream::traits_type::eof())) {
        taken = in.readsome(room, size);
    }
    std::size_t length = static_cast<std::size_t>(taken);
    if (const void* newline = std::memchr(room, '\n', length)) {
        length = static_cast<std::size_t>(static_cast<const char*>(newline) - room);
        finished = true;
    } else if (taken == 0) {
        finished = true;
    }
    room[length] = '\0';
    return length;
}
