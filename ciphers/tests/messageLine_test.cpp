#include "messageLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <istream>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>

namespace {

// Hands its text out a few kilobytes at a time, as a file stream does, and
// tells on request how much is left.
class ChunkedSource : public std::streambuf {
public:
    explicit ChunkedSource(std::string text) : text_(std::move(text)) {}

protected:
    int_type underflow() override {
        if (next_ == text_.size()) {
            return traits_type::eof();
        }
        char* start = &text_[next_];
        next_ += std::min<std::size_t>(4096, text_.size() - next_);
        setg(start, start, &text_[0] + next_);
        return traits_type::to_int_type(*start);
    }
    std::streamsize showmanyc() override {
        return static_cast<std::streamsize>(text_.size() - next_);
    }

private:
    std::string text_;
    std::size_t next_ = 0;
};

TEST(IsWhiteSpace, ExactlyTheSixCLocaleCharactersOfAllBytes) {
    std::string found;
    for (int code = 0; code < 256; ++code) {
        if (isWhiteSpace(static_cast<char>(code))) {
            found += static_cast<char>(code);
        }
    }
    EXPECT_EQ(found, "\t\n\v\f\r ");
}

TEST(ReadWholeLine, TakesOneLineAndConsumesItsNewline) {
    std::istringstream in("two  words\t \n\nrest");
    std::string line = "old";
    readWholeLine(in, line);
    EXPECT_EQ(line, "two  words\t ");
    readWholeLine(in, line);
    EXPECT_EQ(line, "");
    readWholeLine(in, line);
    EXPECT_EQ(line, "rest");
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(in.fail());
    readWholeLine(in, line);
    EXPECT_TRUE(in.fail());
}

TEST(ReadWholeLine, LinesAroundTheSizeOfAPieceComeWhole) {
    // The line is taken in pieces of 64 KiB.
    for (std::size_t length : {65534, 65535, 65536, 65537, 131071, 131072, 131073}) {
        const std::string text(length, 'x');
        std::string line;
        std::istringstream ended(text + "\nnext");
        readWholeLine(ended, line);
        EXPECT_EQ(line, text) << length;
        EXPECT_TRUE(ended.good()) << length;
        readWholeLine(ended, line);
        EXPECT_EQ(line, "next");
        std::istringstream unended(text);
        readWholeLine(unended, line);
        EXPECT_EQ(line, text) << length;
        EXPECT_TRUE(unended.eof() && !unended.fail()) << length;
    }
}

TEST(ReadWholeLine, ALongLineGetsItsRoomAtOnce) {
    // Growing step by step would leave room for about twice the line.
    const std::string longLine((std::string::size_type{1} << 20) + 1, 'q');
    ChunkedSource source(longLine + "\n1\n13\n");
    std::istream in(&source);
    std::string line;
    readWholeLine(in, line);
    EXPECT_EQ(line, longLine);
    EXPECT_LE(line.capacity(), longLine.size() + 6);
    int next = 0;
    in >> next;
    EXPECT_EQ(next, 1);
}

}  // namespace
