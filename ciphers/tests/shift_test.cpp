#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "halfTurnRule.h"
#include "keyedShift.h"

namespace {

std::string shifted(std::string message, int shift) {
    shiftMessage(message, shift);
    return message;
}

std::string halfTurned(std::string message) {
    halfTurnMessage(message);
    return message;
}

std::string allBytes() {
    std::string bytes;
    for (int code = 0; code < 256; ++code) {
        bytes += static_cast<char>(code);
    }
    return bytes;
}

// The rule worked out independently of the program's code: the C-locale
// white space spelled out, a letter's place found by arithmetic, and the
// wrap to 8 bits done with an explicit remainder.
char expectedShift(int code, int shift) {
    const std::string whiteSpace = " \t\n\v\f\r";
    if (whiteSpace.find(static_cast<char>(code)) != std::string::npos) {
        return static_cast<char>(code);
    }
    const long long value = code >= 'a' && code <= 'z' ? code - 'a' + 1
                            : code < 128               ? code
                                                       : code - 256;
    const long long delta =
        value < 27 - static_cast<long long>(shift) ? shift : -static_cast<long long>(shift);
    return static_cast<char>(((code + delta) % 256 + 256) % 256);
}

std::vector<int> manyShifts() {
    std::vector<int> shifts = {INT_MIN,     INT_MIN + 1, INT_MIN + 27, -65536, INT_MAX - 27,
                               INT_MAX - 1, INT_MAX,     65536,        1 << 20};
    for (int shift = -300; shift <= 300; ++shift) {
        shifts.push_back(shift);
    }
    return shifts;
}

// A line is changed two characters at a time, so every ordered pair of
// bytes is checked, and a line of odd length for the last character alone.
std::string everyPairOfBytes() {
    std::string text;
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            text += static_cast<char>(first);
            text += static_cast<char>(second);
        }
    }
    return text + "z";
}

void expectCharacterByCharacter(const std::string& text, int shift) {
    const std::string result = shifted(text, shift);
    ASSERT_EQ(result.size(), text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        ASSERT_EQ(result[i], shiftChar(text[i], shift)) << "position " << i << " shift " << shift;
    }
}

TEST(ShiftChar, FollowsTheRuleForEveryByteAndManyShifts) {
    for (int shift : manyShifts()) {
        for (int code = 0; code < 256; ++code) {
            ASSERT_EQ(shiftChar(static_cast<char>(code), shift), expectedShift(code, shift))
                << "code " << code << " shift " << shift;
        }
    }
}

TEST(ShiftMessage, ChangesEveryCharacterAsShiftCharDoes) {
    const std::string bytes = allBytes();
    for (int shift : manyShifts()) {
        expectCharacterByCharacter(bytes, shift);
        expectCharacterByCharacter(bytes.substr(3, 250), shift);
    }
    const std::string pairs = everyPairOfBytes();
    for (int shift : {INT_MIN, -300, -27, -13, -1, 0, 1, 3, 13, 26, 27, 200, 255, INT_MAX}) {
        expectCharacterByCharacter(pairs, shift);
    }
}

TEST(HalfTurn, IsTheKeyedShiftBy13) {
    for (int code = 0; code < 256; ++code) {
        const char c = static_cast<char>(code);
        ASSERT_EQ(halfTurnChar(c), shiftChar(c, 13)) << "code " << code;
    }
    const std::string pairs = everyPairOfBytes();
    EXPECT_EQ(halfTurned(pairs), shifted(pairs, 13));
}

}  // namespace
