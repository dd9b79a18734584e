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
    std::cout << "What message do you want encoded? " << std::endl;
    LinePieces line(std::cin);
    while (!line.done()) {
        const std::size_t size = line.read(piece, sizeof piece);
        shiftBytes(piece, size, HALF_TURN);
        std::cout.write(piece, static_cast<std::streamsize>(size));
    }
    std::cout << std::endl;
    return 0;
}
