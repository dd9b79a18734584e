// Every program is compiled with this file.  It adds to plain C++ the two
// reports that C++ does not make of itself:
//   - output that cannot be written (a full disk, a closed descriptor, a
//     pipe whose reader left while SIGPIPE is ignored) ends the program with
//     "<program>: write error: <reason>" on standard error and status 1.
//     Plain C++ sets badbit on std::cout and carries on, printing nothing
//     more, and what is still buffered at the end is lost without a word.
//   - memory running out ends it with "<program>: out of memory" and
//     status 1.  Plain C++ ends through std::terminate, whose default
//     handler calls std::abort: SIGABRT ends the program, with a core file
//     where the limit on core files allows one.  Or, where std::bad_alloc is
//     thrown in the middle of a read, it sets badbit and carries on, to end
//     with status 0 as if nothing had gone wrong.
//
// It does so with standard means.  std::cout and std::cin throw
// std::ios_base::failure, or the std::bad_alloc they caught, when badbit is
// set (exceptions(std::ios::badbit)): a failed write, or an allocation that
// fails in the middle of a read, is then an exception, and an exception that
// nothing catches ends the program through std::terminate, whose handler
// here names the cause.  What is still buffered when the program ends is
// written and checked, as coreutils' close_stdout does.  Everything else is
// plain C++: std::cin is tied to std::cout, std::endl flushes, C stdio and
// the streams stay in step (libstdc++ writes std::cout into stdout's own
// buffer), new throws std::bad_alloc.
#include <errno.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>

namespace {

// Nothing here may allocate: the reason for ending may be that memory ran out.
void writeToStandardError(const char* text) {
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, left);
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

// "<program>: <what>", then ": <reason>" if there is one.
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

// errno is still the failed write's: nothing in between sets it.
[[noreturn]] void writeFailed() {
    endWithMessage("write error", std::strerror(errno));
}

std::terminate_handler defaultTerminate = nullptr;

// `throw;` hands the exception that nothing caught to the handlers below
// without copying it, so without allocating.  Any other exception, and an
// array length that is not one (std::bad_array_new_length is a
// std::bad_alloc), is left to the default handler.
void onTerminate() {
    if (std::current_exception() != nullptr) {
        try {
            throw;
        } catch (const std::bad_array_new_length&) {
        } catch (const std::bad_alloc&) {
            // What was printed before is still worth showing.
            std::fflush(stdout);
            endWithMessage("out of memory", nullptr);
        } catch (const std::ios_base::failure&) {
            if (std::cout.bad()) {
                writeFailed();
            }
        } catch (...) {
        }
    }
    defaultTerminate();
}

// A failed write through std::cout has ended the program already.  What
// is left is output still in C stdio's buffer, and a write of printf or
// puts that failed earlier, whose reason nobody kept.
void checkOutputAtExit() {
    std::cout.flush();
    if (std::fflush(stdout) != 0) {
        writeFailed();
    }
    if (std::ferror(stdout) != 0) {
        endWithMessage("write error", nullptr);
    }
}

struct FailureReports {
    FailureReports() {
        defaultTerminate = std::set_terminate(onTerminate);
        std::cout.exceptions(std::ios::badbit);
        std::cin.exceptions(std::ios::badbit);
        std::atexit(checkOutputAtExit);
    }
};

const FailureReports reports;

}  // namespace
