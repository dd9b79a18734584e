#include "MappedLine.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <istream>
#include <new>
#include <sstream>
#include <streambuf>
#include <string>

namespace {

TEST(MappedLine, ReadsLinesAsGetlineDoes) {
    std::istringstream in("two  words\t \n\nrest");
    MappedLine line;
    line.read(in);
    EXPECT_EQ(line.text(), "two  words\t ");
    line.read(in);
    EXPECT_EQ(line.text(), "");
    line.read(in);
    EXPECT_EQ(line.text(), "rest");
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(in.fail());
    line.read(in);
    EXPECT_EQ(line.text(), "");
    EXPECT_TRUE(in.fail());
}

TEST(MappedLine, ALineOfManyMegabytesGrowsItWithoutLosingAByte) {
    std::string text;
    for (int i = 0; text.size() < (std::size_t{5} << 20); ++i) {
        text += std::to_string(i) + ' ';
    }
    std::istringstream in(text + "\nnext\n");
    MappedLine line;
    line.read(in);
    EXPECT_TRUE(line.text() == text);
    line.read(in);
    EXPECT_EQ(line.text(), "next");
}

#if defined(__SANITIZE_ADDRESS__)
#define LIMITS_ADDRESS_SPACE_ITSELF 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LIMITS_ADDRESS_SPACE_ITSELF 1
#endif
#endif

// An endless line of letters.
class EndlessLine : public std::streambuf {
protected:
    int_type underflow() override {
        static char letters[1 << 16];
        std::fill(letters, letters + sizeof letters, 'x');
        setg(letters, letters, letters + sizeof letters);
        return 'x';
    }
};

// The address space the process has now, in bytes.
std::size_t addressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * 4096;
}

// Run in a process of its own: reads an endless line with 64 MiB of address
// space to spare, and ends with status 0 when the line grew well past the
// first mapping and then failed with std::bad_alloc.
[[noreturn]] void readEndlessLineUnderALimit() {
    const rlim_t limit = addressSpaceInUse() + (std::size_t{64} << 20);
    const rlimit addressSpace = {limit, limit};
    setrlimit(RLIMIT_AS, &addressSpace);
    EndlessLine source;
    std::istream in(&source);
    MappedLine line;
    try {
        line.read(in);
    } catch (const std::bad_alloc&) {
        std::_Exit(line.size() > (std::size_t{16} << 20) ? 0 : 2);
    }
    std::_Exit(1);
}

TEST(MappedLine, ALineLongerThanMemoryAllowsIsAnErrorNotCutShort) {
#ifdef LIMITS_ADDRESS_SPACE_ITSELF
    GTEST_SKIP() << "AddressSanitizer cannot run under a limit on address space";
#endif
    EXPECT_EXIT(readEndlessLineUnderALimit(), testing::ExitedWithCode(0), "");
}

}  // namespace
