#include "LinePieces.h"

#include <algorithm>
#include <istream>
#include <limits>

std::size_t LinePieces::read(char* room, std::size_t roomSize) {
    if (finished) {
        return 0;
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
