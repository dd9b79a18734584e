// Every program is compiled with this file.  Before main runs it puts
// std::cin and std::cout on buffers of their own (InputBuffer, OutputBuffer),
// so that without a line of the lessons' code changing:
//   - every prompt is on screen before the program waits for input;
//   - output that cannot be written (a full disk, a closed descriptor, a
//     pipe whose reader left while SIGPIPE is ignored) ends the program with
//     "<program>: write error: <reason>" on standard error and status 1,
//     instead of being lost without a word;
//   - memory running out ends it with "<program>: out of memory" and
//     status 1, instead of an abort and a core dump.
#include <errno.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>

#include "InputBuffer.h"
#include "OutputBuffer.h"

namespace {

// Nothing here may allocate: the reason for ending may be that memory ran out.
void writeToStandardError(const char* text) {
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t written = ::write(2, text, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text += written;
        left -= static_cast<std::size_t>(written);
    }
}

[[noreturn]] void endWithMessage(const char* what, const char* reason) {
    writeToStandardError(program_invocation_short_name);
    writeToStandardError(": ");
    writeToStandardError(what);
    if (reason != nullptr) {
        writeToStandardError(": ");
        writeToStandardError(reason);
    }
    writeToStandardError("\n");
    ::_exit(1);
}

[[noreturn]] void writeFailed(int error) {
    endWithMessage("write error", std::strerror(error));
}

OutputBuffer output(STDOUT_FILENO, writeFailed);
InputBuffer input(STDIN_FILENO, output);

[[noreturn]] void outOfMemory() {
    // What was printed before is still worth showing; the output is small.
    output.writePending();
    endWithMessage("out of memory", nullptr);
}

std::terminate_handler defaultTerminate = nullptr;

// Memory that is not obtained through new (a mapping, say) reports its
// failure as std::bad_alloc too.
void onTerminate() {
    if (std::exception_ptr pending = std::current_exception()) {
        try {
            std::rethrow_exception(pending);
        } catch (const std::bad_alloc&) {
            outOfMemory();
        } catch (...) {
        }
    }
    defaultTerminate();
}

struct ConsoleSetup {
    ConsoleSetup() {
        // Called first, so that a later call cannot swap the buffers out.
        std::ios::sync_with_stdio(false);
        std::cout.rdbuf(&output);
        std::cin.rdbuf(&input);
        // InputBuffer flushes before each wait; a tie would flush before
        // every single read, answers already waiting included.
        std::cin.tie(nullptr);
        std::set_new_handler(outOfMemory);
        defaultTerminate = std::set_terminate(onTerminate);
    }
    ~ConsoleSetup() {
        std::cout.flush();
        output.writePending();
        std::cout.rdbuf(nullptr);
        std::cin.rdbuf(nullptr);
    }
    ConsoleSetup(const ConsoleSetup&) = delete;
    ConsoleSetup& operator=(const ConsoleSetup&) = delete;
};

ConsoleSetup setup;

}  // namespace
