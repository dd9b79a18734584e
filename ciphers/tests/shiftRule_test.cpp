#include "shiftRule.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

// The rule worked out independently of the program's code: the C-locale
// white space spelled out (which checks isWhiteSpace on every byte), a
// letter's place found by arithmetic, and the wrap to 8 bits done with an
// explicit remainder.
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

TEST(ShiftChar, FollowsTheRuleForEveryByteAndManyShifts) {
    std::vector<int> shifts = {INT_MIN,     INT_MIN + 1, INT_MIN + 27, -65536, INT_MAX - 27,
                               INT_MAX - 1, INT_MAX,     65536,        1 << 20};
    for (int shift = -300; shift <= 300; ++shift) {
        shifts.push_back(shift);
    }
    for (int shift : shifts) {
        for (int code = 0; code < 256; ++code) {
            ASSERT_EQ(shiftChar(static_cast<char>(code), shift), expectedShift(code, shift))
                << "code " << code << " shift " << shift;
        }
    }
}

}  // namespace
