#include "shiftBytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "shiftRule.h"

namespace {

// The shifts at which the byte form of the rule could part from shiftChar:
// none, one either way, the lessons' 3 and 13, the edges of the alphabet,
// whole and nearly whole turns of a byte, the ends of int, and the shifts
// where 27 - shift leaves the range of a signed byte (-100 and -101, 155
// and 156).
const int SHIFTS[] = {0,   1,    -1,   3,    13,  26,  27,      255,    -255,
                      256, -256, -100, -101, 155, 156, INT_MIN, INT_MAX};

const char GUARD = '#';

// Shifts length bytes placed at start in a buffer of guard bytes and checks
// every byte against shiftChar, and that no byte around them changed.
void expectAsShiftChar(const std::string& text, std::size_t start, int shift) {
    std::string buffer(start + text.size() + 64, GUARD);
    buffer.replace(start, text.size(), text);
    shiftBytes(&buffer[start], text.size(), shift);
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        const bool inside = i >= start && i < start + text.size();
        const char expected = inside ? shiftChar(text[i - start], shift) : GUARD;
        ASSERT_EQ(buffer[i], expected) << "shift " << shift << " start " << start << " length "
                                       << text.size() << " position " << i - start;
    }
}

// All 256 byte values, starting from first: every value at every place of a
// 64-byte block as first goes round.
std::string allBytesFrom(int first) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(static_cast<unsigned char>((first + i) % 256));
    }
    return bytes;
}

TEST(ShiftBytes, MovesEveryByteAsShiftCharDoesAtEveryPlaceAndAlignment) {
    for (int shift : SHIFTS) {
        for (int place = 0; place < 64; ++place) {
            expectAsShiftChar(allBytesFrom(place), static_cast<std::size_t>(place), shift);
        }
    }
}

TEST(ShiftBytes, EveryLengthStopsAtItsEnd) {
    for (std::size_t length = 0; length <= 200; ++length) {
        const std::string text = allBytesFrom(static_cast<int>(length)).substr(0, length);
        expectAsShiftChar(text, length % 16, 13);
        expectAsShiftChar(text, 1, -3);
    }
}

}  // namespace
