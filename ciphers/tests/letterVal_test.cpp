#include "letterVal.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LetterVal, CaseMattersAndOtherBytesKeepTheirSignedCode) {
    EXPECT_EQ(letterVal('a'), 1);
    EXPECT_EQ(letterVal('z'), 26);
    EXPECT_EQ(letterVal('A'), 65);
    EXPECT_EQ(letterVal('\0'), 0);
    EXPECT_EQ(letterVal('\xff'), -1);
    EXPECT_EQ(letterVal('\x80'), -128);
}

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
