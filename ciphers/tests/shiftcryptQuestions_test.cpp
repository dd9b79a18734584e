#include "shiftcryptQuestions.h"

#include <gtest/gtest.h>

#include <string>

#include "ConsoleCapture.h"

namespace {

const char* const CHOICE_PROMPT = "Do you want to encyrpt or decyrpt text?(to encyrpt enter 1)\n";
const char* const KEY_PROMPT = "What is the key?\n";

bool choose(const std::string& typed) {
    ConsoleCapture console(typed);
    const bool encrypt = EncyrptOrDecyrpt();
    EXPECT_EQ(console.output(), CHOICE_PROMPT);
    return encrypt;
}

int key(const std::string& typed) {
    ConsoleCapture console(typed);
    const int number = keyfunc();
    EXPECT_EQ(console.output(), KEY_PROMPT);
    return number;
}

// 1, 2, 0, a word and no answer at all are the shiftcrypt transcripts' choices.
TEST(EncyrptOrDecyrpt, OnlyTheNumberOneEncrypts) {
    EXPECT_TRUE(choose("  +01 3\n"));
    EXPECT_TRUE(choose("1.5\n"));
    EXPECT_FALSE(choose("-1\n"));
    EXPECT_FALSE(choose("4294967297\n"));  // out of range, not a wrapped 1
}

TEST(Keyfunc, SumsTheCodesOfOneWord) {
    EXPECT_EQ(key("abc\n"), 21);
    EXPECT_EQ(key(" \n\tab c\n"), 14);  // 97 + 98 = 195, and 195 mod 23 = 11
    EXPECT_EQ(key("\x80\x80\n"), 0);    // -256, and -256 mod 23 = -3
    EXPECT_EQ(key("\xff\n"), 2);
    EXPECT_EQ(key(""), 3);
}

TEST(Keyfunc, AWordWhoseSumExceedsInt) {
    // 17,000,000 times 127 is 2,159,000,000; wrapped to 32 bits the key would be -4.
    EXPECT_EQ(key(std::string(17000000, '\x7f')), 8);
}

}  // namespace
