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
//
// What a lesson's code sees that plain C++ does not give it:
//   - Into a pipe or a file, std::endl and std::flush (and fflush(stdout))
//     do not write the output at once: it goes out in blocks of 64 KiB, and
//     always before the program waits for input and when it ends.  A write
//     per line would cost a system call per line and show nobody anything
//     sooner.  So std::cerr, which flushes std::cout before it writes, can
//     come before earlier std::cout output when both go into one file.  At a
//     terminal every flush writes at once, as in plain C++.
//   - std::cin is not tied to std::cout (std::cin.tie() is null): instead the
//     output is written out before every wait for input.
//   - std::ios::sync_with_stdio(false) has been called already.  C stdio's
//     standard output (printf, puts) writes into std::cout's buffer, so the
//     two still come out in the order they were written.  Standard input is
//     not shared: std::cin reads ahead into a buffer of its own, so a lesson
//     that reads with scanf or getchar too loses what the other has read.
//     std::wcout and std::wcin keep buffers of their own as well.
//   - new does not throw std::bad_alloc, and new (std::nothrow) does not
//     return a null pointer: a new-handler ends the program at the first
//     allocation that fails.  Thrown, the exception could be caught by a
//     stream in the middle of a read, which sets badbit and lets the program
//     carry on as after any failed read, to end with status 0 as if nothing
//     had gone wrong.
#include <errno.h>
#include <stdio.h>
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

// What C stdio writes to its standard output goes into std::cout's buffer.
// The stream is unbuffered on the C side, so every printf hands its bytes
// over at once and keeps its place among std::cout's.
ssize_t writeFromStdio(void* /*cookie*/, const char* bytes, std::size_t size) {
    output.sputn(bytes, static_cast<std::streamsize>(size));
    return static_cast<ssize_t>(size);
}

FILE* originalStdout = nullptr;

void shareStdioOutput() {
    cookie_io_functions_t functions{};
    functions.write = writeFromStdio;
    FILE* const shared = fopencookie(nullptr, "w", functions);
    if (shared == nullptr || std::setvbuf(shared, nullptr, _IONBF, 0) != 0) {
        if (shared != nullptr) {
            std::fclose(shared);
        }
        return;
    }
    // Whatever was printed before main (before this) is written first.
    std::fflush(stdout);
    originalStdout = stdout;
    stdout = shared;
}

// The original stream is put back before the buffers go, so that a printf
// from a destructor that runs after this one is still written (at exit).
// The shared stream is left open: a lesson may have closed it already.
void unshareStdioOutput() {
    if (originalStdout != nullptr) {
        stdout = originalStdout;
        originalStdout = nullptr;
    }
}

[[noreturn]] void outOfMemory() {
    // What was printed before is still worth showing; the output is small.
    output.writePending();
    endWithMessage("out of memory", nullptr);
}

std::terminate_handler defaultTerminate = nullptr;

// Memory that is not obtained through new (a mapping, say) reports its
// failure as std::bad_alloc, which ends the program with the same message
// when nothing catches it; any other exception that nothing catches is left
// to the default handler.
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
        shareStdioOutput();
        std::set_new_handler(outOfMemory);
        defaultTerminate = std::set_terminate(onTerminate);
    }
    ~ConsoleSetup() {
        std::cout.flush();
        output.writePending();
        unshareStdioOutput();
        std::cout.rdbuf(nullptr);
        std::cin.rdbuf(nullptr);
    }
    ConsoleSetup(const ConsoleSetup&) = delete;
    ConsoleSetup& operator=(const ConsoleSetup&) = delete;
};

ConsoleSetup setup;

}  // namespace
