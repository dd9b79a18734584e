#include "MappedLine.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <istream>
#include <iterator>
#include <new>
#include <streambuf>

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define LIMITS_ADDRESS_SPACE_ITSELF 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LIMITS_ADDRESS_SPACE_ITSELF 1
#endif
#endif

// An endless line of letters.
class EndlessLine : public std::streambuf {
public:
    EndlessLine() { std::fill(std::begin(letters), std::end(letters), 'x'); }

protected:
    int_type underflow() override {
        setg(letters, letters, letters + sizeof letters);
        return 'x';
    }

private:
    char letters[1 << 16];
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
