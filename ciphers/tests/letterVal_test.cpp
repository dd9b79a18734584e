#include "letterVal.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Case matters: a to z count 1 to 26, and every other byte, capitals too,
// keeps its signed code.
TEST(LetterVal, AllBytes) {
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz";
    for (int code = -128; code < 128; ++code) {
        const char c = static_cast<char>(code);
        const auto place = alphabet.find(c);
        const int expected = place == std::string::npos ? code : static_cast<int>(place) + 1;
        EXPECT_EQ(letterVal(c), expected) << "code " << code;
    }
}

}  // namespace
