// The session form shared by the manual pages and the README: the command
// line must type exactly the case's bytes, and an excerpt must keep the
// output's order and ends.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "SessionCommand.h"

namespace {

// What the shell makes printf write for the command shellCommand gives.
std::string typedByShell(const std::string& typed) {
    std::string command = session::shellCommand("cat", typed, "").substr(2);
    std::string bytes;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) {
            bytes += static_cast<char>(c);
        }
        pclose(pipe);
    }
    return bytes;
}

TEST(SessionCommand, CommandTypesTheCaseBytesThroughPrintf) {
    EXPECT_EQ(session::shellCommand("discs", "0,0 3,4\n1,0 1,1\n", ""),
              "$ printf '0,0 3,4\\n1,0 1,1\\n' | discs");
    EXPECT_EQ(session::shellCommand("p", "a\tb\\c%d'e\n", ""),
              "$ printf 'a\\tb\\\\c%%d'\\''e\\n' | p");
    EXPECT_EQ(session::shellCommand("p", std::string("\0\0338\x7f\xe9", 5), ""),
              "$ printf '\\000\\0338\\177\\351' | p");
    EXPECT_EQ(session::shellCommand("twentyone", "1\n", "2026-12-08 12:00:00"),
              "$ printf '1\\n' | TZ=UTC faketime '2026-12-08 12:00:00' twentyone");
    EXPECT_EQ(session::shellCommand("thermotab", "", ""), "$ thermotab");

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
    const std::string output = "a\nb\nc\nd\n";
    EXPECT_EQ(session::excerptMismatch({"a", "b", "c", "d"}, output, false), "");
    EXPECT_EQ(session::excerptMismatch({"a", "...", "d"}, output, false), "");
    EXPECT_EQ(session::excerptMismatch({"...", "b", "...", "d"}, output, false), "");
    EXPECT_EQ(session::excerptMismatch({"a", "...", "c", "..."}, output, false), "");
    EXPECT_EQ(session::excerptMismatch({"-0.59846"}, "-0.59846", false), "");

    EXPECT_NE(session::excerptMismatch({"a", "b", "c"}, output, false), "");
    EXPECT_NE(session::excerptMismatch({"b", "c", "d"}, output, false), "");
    EXPECT_NE(session::excerptMismatch({"a", "...", "c", "...", "b", "..."}, output, false), "");
    EXPECT_NE(session::excerptMismatch({"a", "b", "...", "c", "d"}, output, false), "");
    EXPECT_NE(session::excerptMismatch({"a", "b", "c", "d", "..."}, output, false), "");
    EXPECT_NE(session::excerptMismatch({"a", "...", "...", "d"}, output, false), "");
    EXPECT_NE(session::excerptMismatch({"..."}, output, false), "");
    EXPECT_NE(session::excerptMismatch({"a", "b", "c", "d "}, output, false), "");
}

TEST(SessionCommand, PlaceholderStandsForOneValueOnALine) {
    const std::string match = "(@INT@)\t== @INT@\n@ADDR@\t== @ADDR@\n";
    EXPECT_EQ(session::excerptMismatch({"(383)\t== 383", "0x7ffd4a1c\t== 0x7ffd4a1c"}, match, true),
              "");
    EXPECT_EQ(session::excerptMismatch({"(@INT@)\t== @INT@", "@ADDR@\t== @ADDR@"}, match, true),
              "");
    EXPECT_NE(session::excerptMismatch({"(383)\t== 384", "0\t== 0"}, match, true), "");
    EXPECT_NE(session::excerptMismatch({"(3.5)\t== 3.5", "0\t== 0"}, match, true), "");
    EXPECT_NE(session::excerptMismatch({"(383)\t== 383", "0\t== 0"}, match, false), "");
}

}  // namespace
