// Linked into a test build of a program that seeds from the clock, with
// -Wl,--wrap=time: the linker sends the program's own calls of time() here,
// and they see the clock stopped at LESSONS_STOPPED_CLOCK ("yyyy-mm-dd
// hh:mm:ss", UTC).  Nothing is preloaded, so the build runs as it is under
// the sanitizers and valgrind, and the C library's clock is left alone for
// everything else in the process.
#include <ctime>
#include <stdexcept>

namespace {

std::time_t stoppedTime() {
    std::tm utc{};
    const char* end = strptime(LESSONS_STOPPED_CLOCK, "%Y-%m-%d %H:%M:%S", &utc);
    if (end == nullptr || *end != '\0') {
        throw std::invalid_argument("LESSONS_STOPPED_CLOCK is not yyyy-mm-dd hh:mm:ss");
    }
    return timegm(&utc);
}

}  // namespace

extern "C" std::time_t __wrap_time(std::time_t* stored) {
    static const std::time_t stopped = stoppedTime();
    if (stored != nullptr) {
        *stored = stopped;
    }
    return stopped;
}
