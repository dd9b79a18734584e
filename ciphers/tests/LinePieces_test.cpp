#include "LinePieces.h"

#include <gtest/gtest.h>

#include <istream>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

namespace {

// Room for pieces of at most 7 bytes.
const std::size_t ROOM = 8;

std::string readInPieces(std::istream& in) {
    LinePieces line(in);
    std::string text;
    while (!line.done()) {
        char room[ROOM];
        const std::size_t size = line.read(room, ROOM);
        EXPECT_LT(size, ROOM);
        text.append(room, size);
    }
    return text;
}

TEST(LinePieces, ALineOfAnyLengthComesWholeAndItsNewlineIsTaken) {
    for (std::size_t length : {0, 1, 6, 7, 8, 13, 14, 15, 22}) {
        const std::string text(length, 'x');
        std::istringstream ended(text + "\nnext");
        EXPECT_EQ(readInPieces(ended), text) << length;
        EXPECT_TRUE(ended.good()) << length;
        EXPECT_EQ(readInPieces(ended), "next");
        EXPECT_TRUE(ended.eof() && !ended.fail());

        std::istringstream unended(text);
        EXPECT_EQ(readInPieces(unended), text) << length;
        EXPECT_TRUE(unended.eof()) << length;
        EXPECT_EQ(unended.fail(), length == 0) << length;
    }
}

// Hands out its input in the pieces given, one per refill, as a terminal
// hands out one typed line per read, and counts the refills.
class TypedLines : public std::streambuf {
public:
    explicit TypedLines(std::vector<std::string> reads) : reads(std::move(reads)) {}
    int refills = 0;

protected:
    int_type underflow() override {
        if (refills == static_cast<int>(reads.size())) {
            return traits_type::eof();
        }
        std::string& next = reads[static_cast<std::size_t>(refills++)];
        setg(&next[0], &next[0], &next[0] + next.size());
        return traits_type::to_int_type(next[0]);
    }

private:
    std::vector<std::string> reads;
};

TEST(LinePieces, ReadsNoFurtherThanTheLine) {
    // Waiting for a refill after the newline would keep a user at a
    // terminal waiting for an answer to a question not yet shown.
    TypedLines typed({"hello world, a line longer than a piece\n", "1\n"});
    std::istream in(&typed);
    EXPECT_EQ(readInPieces(in), "hello world, a line longer than a piece");
    EXPECT_EQ(typed.refills, 1);

    TypedLines split({"hello ", "world\n", "1\n"});
    std::istream splitIn(&split);
    EXPECT_EQ(readInPieces(splitIn), "hello world");
    EXPECT_EQ(split.refills, 2);
    int next = 0;
    splitIn >> next;
    EXPECT_EQ(next, 1);
}

std::string readPastLineEnd(std::istream& in) {
    LinePieces line(in, LinePieces::After::PAST_LINE_END);
    std::string text;
    while (!line.done()) {
        char room[ROOM];
        text.append(room, line.read(room, ROOM));
    }
    return text;
}

TEST(LinePieces, PastTheLineEndTheRestComesAsItArrivesAndEndsAtTheNewline) {
    // After the first piece, a refill at a time: readsome finds nothing
    // waiting between refills, and the line must not end there.
    TypedLines typed({"hello world, ", "a long", "er line\nleft", " behind"});
    std::istream in(&typed);
    EXPECT_EQ(readPastLineEnd(in), "hello world, a longer line");
    EXPECT_EQ(typed.refills, 3);

    // The input ending the line ends it too, with no failbit.
    TypedLines unended({"an unended line", " of pieces"});
    std::istream unendedIn(&unended);
    EXPECT_EQ(readPastLineEnd(unendedIn), "an unended line of pieces");
    EXPECT_TRUE(unendedIn.eof() && !unendedIn.fail());
}

}  // namespace
