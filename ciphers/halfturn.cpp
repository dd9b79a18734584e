// Reads a line and prints it with its lower-case letters turned 13 places
// round the alphabet, so that for lower-case text the same program encodes
// and decodes.  Every other character but white space moves 13 along the
// codes (capitals, digits and punctuation back, bytes of 128 and above
// forward) and does not come back: Hello becomes ;ryyb, and that .ello.
// The rule for one character is shiftChar, in shiftRule.cpp.
#include <iostream>

#include "LinePieces.h"
#include "shiftBytes.h"

namespace {

// Shifting by 13 turns a to m into n to z and n to z back into a to m: the
// threshold 27 - 13 = 14 puts every letter up to m forward and every letter
// from n back.
const int HALF_TURN = 13;

// The line is turned and printed piece by piece as it is read, so that a
// line of any length passes through this much memory.
const std::size_t PIECE = std::size_t{1} << 18;

char piece[PIECE + 1];

}  // namespace

int main() {
    // For speed: std::cin and std::cout get buffers of their own instead of
    // C stdio's.  Synchronised with C stdio (the default), std::cin takes
    // the line from C's buffer a character at a time, at some fourteen
    // times the time tr takes to turn it.  Nothing here uses C stdio.
    std::ios::sync_with_stdio(false);
    // A buffer of std::cin's own throws std::ios_base::failure when a read
    // fails (a closed descriptor, a directory), and the console support has
    // std::cin throw on what it catches: back to the default, so that a
    // failed read ends the line as the end of the input does.  No read here
    // allocates, so no std::bad_alloc is caught either.
    std::cin.exceptions(std::ios::goodbit);
    std::cout << "What message do you want encoded? " << std::endl;
    // For speed as well: nothing after the line is read, so a long line is
    // read on in blocks that may reach past its end (see LinePieces.h).
    LinePieces line(std::cin, LinePieces::After::PAST_LINE_END);
    while (!line.done()) {
        const std::size_t size = line.read(piece, sizeof piece);
        shiftBytes(piece, size, HALF_TURN);
        std::cout.write(piece, static_cast<std::streamsize>(size));
    }
    std::cout << std::endl;
    return 0;
}
