// The session form shared by the manual pages and the README: the command
// must type exactly the case's bytes, an excerpt keep the output's order.

#include <gtest/gtest.h>

#include <cstdio>

#include "ManualPages.h"

namespace {

// What the shell makes printf write for the command shellCommand gives.
std::string typedByShell(const std::string& typed) {
    std::string bytes;
    if (FILE* pipe = popen(shellCommand("cat", typed, "").substr(2).c_str(), "r")) {
        for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) {
            bytes += static_cast<char>(c);
        }
        pclose(pipe);
    }
    return bytes;
}

// The plain forms and the stopped clock are pinned by the pages' examples.
TEST(SessionCommand, CommandTypesTheCaseBytesThroughPrintf) {
    EXPECT_EQ(shellCommand("p", "a\tb\\c%d'e\n", ""), "$ printf 'a\\tb\\\\c%%d'\\''e\\n' | p");
    EXPECT_EQ(shellCommand("p", std::string("\0\0338\x7f\xe9", 5), ""),
              "$ printf '\\000\\0338\\177\\351' | p");

    // Every byte value, a digit after an octal escape, and a leading minus
    // sign come out of the shell as they went in.
    std::string everyByte;
    for (int byte = 255; byte >= 0; --byte) {
        everyByte += static_cast<char>(byte);
        everyByte += '7';
    }
    EXPECT_EQ(typedByShell(everyByte), everyByte);
    EXPECT_EQ(typedByShell("-5 2\n"), "-5 2\n");
}

TEST(SessionCommand, ExcerptKeepsTheOrderAndTheEndsOfTheOutput) {
    using Lines = std::vector<std::string>;
    const Lines output = {"a", "b", "c", "d"};
    for (const Lines& fits : {output, Lines{"a", "...", "d"}, Lines{"...", "b", "...", "d"},
                              Lines{"a", "...", "c", "..."}}) {
        EXPECT_TRUE(excerptFits(fits, output, false)) << testing::PrintToString(fits);
    }
    EXPECT_TRUE(excerptFits({}, {}, false));
    EXPECT_TRUE(excerptFits({"-0.59846"}, splitLines("-0.59846"), false));
    for (const Lines& wrong :
         {Lines{"a", "b", "c"}, Lines{"b", "c", "d"}, Lines{"a", "...", "c", "...", "b", "..."},
          Lines{"a", "b", "...", "c", "d"}, Lines{"a", "b", "c", "d", "..."},
          Lines{"a", "...", "...", "d"}, Lines{"..."}, Lines{}, Lines{"a", "b", "c", "d "}}) {
        EXPECT_FALSE(excerptFits(wrong, output, false)) << testing::PrintToString(wrong);
    }
}

TEST(SessionCommand, PlaceholderStandsForOneValueOnALine) {
    const std::vector<std::string> match = {"(@INT@)\t== @INT@", "@ADDR@\t== @ADDR@"};
    EXPECT_TRUE(excerptFits({"(383)\t== 383", "0x7ffd4a1c\t== 0x7ffd4a1c"}, match, true));
    EXPECT_TRUE(excerptFits({"(-5)\t== -5", "0\t== 0"}, match, true));
    EXPECT_TRUE(excerptFits(match, match, true));
    EXPECT_FALSE(excerptFits({"(383)\t== 384", "0\t== 0"}, match, true));
    EXPECT_FALSE(excerptFits({"(383)\t== 383", "0x1f\t== 0x2f"}, match, true));
    EXPECT_FALSE(excerptFits({"(3.5)\t== 3.5", "0\t== 0"}, match, true));
    EXPECT_FALSE(excerptFits({"(383)\t== 383", "0\t== 0"}, match, false));
}

TEST(SessionCommand, PlaceholderGivesBackWhatTheRestOfTheLineNeeds) {
    EXPECT_TRUE(matchesLine("12355 123", "@INT@55 @INT@"));
    EXPECT_FALSE(matchesLine("12355 1235", "@INT@55 @INT@"));
    EXPECT_TRUE(matchesLine("0x1f0x1f", "@ADDR@@ADDR@"));
    EXPECT_FALSE(matchesLine("0x", "@ADDR@"));
    EXPECT_FALSE(matchesLine("-", "@INT@"));
}

TEST(SessionCommand, NanPlaceholderStandsForEitherSignEachTime) {
    const std::vector<std::string> match = {"slope @NAN@", "@NAN@ or @NAN@"};
    EXPECT_TRUE(excerptFits({"slope nan", "-nan or nan"}, match, true));
    EXPECT_TRUE(excerptFits({"slope -nan", "nan or -nan"}, match, true));
    for (const char* notNan :
         {"slope inf", "slope +nan", "slope nan(0x1)", "slope NaN", "slope "}) {
        EXPECT_FALSE(excerptFits({notNan, "nan or nan"}, match, true)) << notNan;
    }
}

}  // namespace
