// The screen a terminal shows: the same however a program draws it, and
// different wherever a person would see a difference.
#include "terminal/Screen.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <iterator>
#include <random>

void PrintTo(const Screen::Position& position, std::ostream* out) {
    *out << "row " << position.row << ", column " << position.column;
}

namespace {

using Rows = std::vector<std::string>;
using Position = Screen::Position;

Screen written(const std::string& bytes) {
    Screen screen;
    screen.write(bytes);
    return screen;
}

void expectAlike(const Screen& seen, const Screen& expected) {
    EXPECT_EQ(seen.rows(), expected.rows());
    EXPECT_EQ(seen.cursor(), expected.cursor());
}

TEST(ScreenDrawing, NodeReadlinePromptLooksLikeAPlainOne) {
    const Screen node = written("21\r\n\x1b[1G\x1b[0JEnter Machine Temperature: \x1b[28G");
    expectAlike(node, written("21\r\nEnter Machine Temperature: "));
    EXPECT_EQ(node.rows(), (Rows{"21", "Enter Machine Temperature:"}));
}

TEST(ScreenDrawing, CarriageReturnBackspaceAndEraseOverwrite) {
    EXPECT_EQ(written("12345\rab").rows(), Rows{"ab345"});
    EXPECT_EQ(written("abc\b\bX").rows(), Rows{"aXc"});
    EXPECT_EQ(written("hello world\r\x1b[Kbye").rows(), Rows{"bye"});
    const Screen cleared = written("one\r\ntwo\r\n\x1b[2J\x1b[Hhi");
    EXPECT_EQ(cleared.rows(), Rows{"hi"});
    EXPECT_EQ(cleared.cursor(), (Position{0, 2}));
}

TEST(ScreenDrawing, TabsStopEveryEightColumnsUpToTheLast) {
    const Screen tabs = written("a\tb\t\tc");
    EXPECT_EQ(tabs.rows(), Rows{"a       b               c"});
    EXPECT_EQ(tabs.cursor(), (Position{0, 25}));
    EXPECT_EQ(written(std::string(77, 'x') + "\t\tZ").rows(), Rows{std::string(77, 'x') + "  Z"});
}

TEST(ScreenDrawing, TitlesBellsAnswersAndTheAlternateScreenLeaveNoTrace) {
    EXPECT_EQ(written("\x1b]0;title\x07\x07ok\x1b]2;t\x1b\\\x1b[6n\x1b[c!").rows(), Rows{"ok!"});
    EXPECT_EQ(written("main\x1b[?1049hdrawn\r\n\x1b[?1049l!").rows(), Rows{"main!"});
}

TEST(ScreenRows, BlankRowsBetweenOthersAreEmptyAndTheCursorsRowCounts) {
    const Screen screen = written("a\r\n\r\n   \r\nb\r\n");
    EXPECT_EQ(screen.rows(), (Rows{"a", "", "", "b", ""}));
    EXPECT_EQ(screen.cursor(), (Position{4, 0}));
}

TEST(ScreenRows, AMissingTrailingBlankShowsOnlyInTheCursor) {
    const Screen blank = written("Enter C1: ");
    const Screen none = written("Enter C1:");
    EXPECT_EQ(blank.rows(), none.rows());
    EXPECT_EQ(blank.cursor(), (Position{0, 10}));
    EXPECT_EQ(none.cursor(), (Position{0, 9}));
}

TEST(ScreenRows, ANewlineReturnsToTheFirstColumnOnlyAsOnlcrSendsIt) {
    EXPECT_EQ(written("ab\ncd").rows(), (Rows{"ab", "  cd"}));
    expectAlike(screenOf("ab\ncd\n"), written("ab\r\ncd\r\n"));
    EXPECT_EQ(screenOf("ab\ncd\n").rows(), (Rows{"ab", "cd", ""}));
}

TEST(ScreenRows, ALongLineWrapsAtTheWidth) {
    const Screen wrapped = written(std::string(200, 'x'));
    EXPECT_EQ(wrapped.rows(),
              (Rows{std::string(80, 'x'), std::string(80, 'x'), std::string(40, 'x')}));
    EXPECT_EQ(wrapped.cursor(), (Position{2, 40}));
    // A full row keeps the cursor on its last cell until the next character.
    EXPECT_EQ(written(std::string(80, 'x')).cursor(), (Position{0, 79}));
}

std::string numberedLines(int count, Rows& rows) {
    std::string text;
    for (int line = 1; line <= count; ++line) {
        text += std::to_string(line) + "\n";
        rows.push_back(std::to_string(line));
    }
    rows.push_back("");
    return text;
}

TEST(ScreenScrolling, RowsScrolledOffTheTopAreKeptInOrder) {
    Rows lines;
    const Screen screen = screenOf(numberedLines(30, lines));
    EXPECT_EQ(screen.rows(), lines);
    EXPECT_EQ(screen.cursor(), (Position{30, 0}));
    EXPECT_FALSE(screen.overflowed());

    // The rows scrolled off before a move are there after it, and after more.
    Screen first(80, 2);
    first.write("a\r\nb\r\n");
    Screen moved = std::move(first);
    moved.write("c\r\n");
    EXPECT_EQ(moved.rows(), (Rows{"a", "b", "c", ""}));
}

TEST(ScreenScrolling, BeyondTheRowsKeptTheFirstAreLost) {
    Rows lines;
    const Screen screen = screenOf(numberedLines(30, lines), 80, 24, 5);
    EXPECT_TRUE(screen.overflowed());
    EXPECT_EQ(screen.rows(), Rows(lines.begin() + 2, lines.end()));
    EXPECT_EQ(screen.cursor(), (Position{28, 0}));

    // Sixteen times the rows kept, in one write.
    Screen flooded(80, 24, 1000);
    flooded.write(std::string(16000, '\n'));
    EXPECT_TRUE(flooded.overflowed());
    EXPECT_EQ(flooded.rows().size(), 1000u + 24);
    EXPECT_EQ(flooded.cursor(), (Position{1023, 0}));
}

TEST(ScreenUtf8, CharactersAreCountedInCellsAndMayComeInPieces) {
    const Screen wide = written("\u4E2De\u0301x");
    EXPECT_EQ(wide.rows(), Rows{"\u4E2De\u0301x"});
    EXPECT_EQ(wide.cursor(), (Position{0, 4}));
    Screen pieces;
    pieces.write("\xe4");
    pieces.write("\xb8");
    pieces.write("\xad!");
    expectAlike(pieces, written("\u4E2D!"));
}

TEST(ScreenUtf8, BrokenSequencesAndMishandledCharactersShowAsReplacements) {
    const std::pair<std::string, std::string> shown[] = {
        {"a\xff!", "a\uFFFD!"},                            // a byte that begins nothing
        {"\xe4\xb8!", "\uFFFD!"},                          // a character cut short
        {"\xc0\xaf", "\uFFFD\uFFFD"},                      // an overlong form
        {"\xed\xa0\x80", "\uFFFD\uFFFD\uFFFD"},            // a surrogate
        {"\xf4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"\xc2\x85!", "\uFFFD!"},                          // a C1 control
        {"\u304B\u3099", "\u304B\uFFFD"},                  // a mark libvterm takes for wide
        {"\xc2\x1b[m\x85!", "\uFFFD\uFFFD!"},              // a lead byte before an escape
    };
    for (const auto& [bytes, text] : shown) {
        EXPECT_EQ(written(bytes).rows(), Rows{text}) << testing::PrintToString(bytes);
    }
}

// Valid UTF-8 of Unicode's code points, as glibc's iconv reads it, without
// a control character of C0 or C1.
bool printable(std::string text) {
    iconv_t toUtf32 = iconv_open("UTF-32LE", "UTF-8");
    std::string utf32(4 * text.size(), '\0');
    char* in = text.data();
    char* out = utf32.data();
    std::size_t inLeft = text.size();
    std::size_t outLeft = utf32.size();
    const bool valid = iconv(toUtf32, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(toUtf32);
    for (std::size_t i = 0; valid && i < utf32.size() - outLeft; i += 4) {
        std::uint32_t c = 0;
        for (int byte = 3; byte >= 0; --byte) {
            c = c << 8 | static_cast<unsigned char>(utf32[i + byte]);
        }
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            return false;
        }
    }
    return valid;
}

// Escape sequences with numbers no terminal expects, strings never ended,
// the alternate screen, insert mode, C1 controls and bytes past U+10FFFF.
const char* const HOSTILE[] = {"\x1b[",
                               "\x1b]0;",
                               "\x1bP",
                               "\x1b[?1049h",
                               "\x1b[?1049l",
                               "\x1b[99999999;99999999H",
                               "\x1b[4294967296C",
                               "\x1b[2147483647L",
                               "\x1b[999999999@",
                               "\x1b[2;3r",
                               "\x1b#8",
                               "\x1b(0",
                               "\x1b[4h",
                               "\xc2\x9b",
                               "\xc2\x85",
                               "\xf8\x88\x80\x80\x80",
                               "\r\n",
                               "\t",
                               "\b"};

TEST(ScreenHostileBytes, AnyBytesGiveRowsOfPrintableTextWithinBounds) {
    std::mt19937 random(29);
    std::string bytes;
    for (int piece = 0; piece < 200000; ++piece) {
        if (random() % 4 == 0) {
            bytes += HOSTILE[random() % std::size(HOSTILE)];
        } else {
            bytes += static_cast<char>(random());
        }
    }
    Screen screen(80, 24, 100);
    screen.write(bytes);
    const Rows rows = screen.rows();
    EXPECT_LE(rows.size(), 100u + 24);
    EXPECT_LT(screen.cursor().row, rows.size());
    for (const std::string& row : rows) {
        EXPECT_TRUE(printable(row)) << testing::PrintToString(row);
    }
    EXPECT_THROW(Screen(1, 24), std::invalid_argument);

    // A megabyte with no line end, as libvterm would take it at once.
    Screen line(80, 24, 1000);
    line.write(std::string(1 << 20, '\xff'));
    std::string lastRow;
    for (int cell = 0; cell < (1 << 20) % 80; ++cell) {
        lastRow += "\uFFFD";
    }
    EXPECT_EQ(line.rows().size(), 1000u + 24);
    EXPECT_EQ(line.rows().back(), lastRow);

    // libvterm 0.1.4 alone crashes on these too: a C1 control in insert
    // mode, a repeat of a wide character, a character with forty wide marks.
    Screen inserting;
    inserting.write("\x1b[4h\xc2");
    inserting.write("\x85z");
    EXPECT_EQ(inserting.rows(), Rows{"\uFFFDz"});
    inserting.write("\r\n\x1b[4h\u4E2D\x1b[80b");
    std::string marks = "x";
    std::string shown = "\u4E2Dx";
    for (int mark = 0; mark < 40; ++mark) {
        marks += "\u302A";
        shown += "\uFFFD";
    }
    inserting.write(marks);
    EXPECT_EQ(inserting.rows(), (Rows{"\uFFFDz", shown}));
}

}  // namespace
