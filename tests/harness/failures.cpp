// Standard output that cannot be written, and memory that runs out: the
// program must say so on standard error and end with status 1, not lose its
// output without a word or abort.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <thread>

#include "compare.h"
#include "modes.h"

namespace {

// The first case input in name order, or none for a program without cases.
fs::path someCaseInput(const fs::path& caseDir) {
    std::vector<fs::path> inputs;
    if (fs::is_directory(caseDir)) {
        for (const auto& entry : fs::directory_iterator(caseDir)) {
            if (entry.path().extension() == ".in") {
                inputs.push_back(entry.path());
            }
        }
    }
    return inputs.empty() ? fs::path("/dev/null") : *std::min_element(inputs.begin(), inputs.end());
}

std::string programName(const std::string& program) {
    return fs::path(program).filename();
}

std::string writeError(const std::string& program, int error) {
    return programName(program) + ": write error: " + std::strerror(error) + "\n";
}

struct Ending {
    RunResult result;
    std::string errors;  // what the program wrote to standard error
};

// Where a failing standard output leads, and how the program must end.
struct BrokenOutput {
    const char* name;
    enum { FULL_DEVICE, CLOSED, PIPE_WITHOUT_READER } kind;
    bool ignoreBrokenPipe;
    int error;   // the write error the program must report, or 0
    int signal;  // the signal that must end it instead, or 0
};

Ending runWithBrokenOutput(const Options& options, const fs::path& input,
                           const BrokenOutput& broken) {
    Descriptor in = openFile(input, O_RDONLY);
    ScratchFile errorsFile("outputs-err");
    Descriptor errors = openFile(errorsFile.path(), O_WRONLY | O_TRUNC);
    Descriptor out;
    if (broken.kind == BrokenOutput::FULL_DEVICE) {
        out = openFile("/dev/full", O_WRONLY);
    } else if (broken.kind == BrokenOutput::PIPE_WITHOUT_READER) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) < 0) {
            throw std::runtime_error("cannot make a pipe");
        }
        close(ends[0]);  // the reader is gone before the program starts
        out = Descriptor(ends[1]);
    }
    Launch launch;
    launch.argv = {options.positional[0]};
    launch.input = in.get();
    launch.output = out.get();  // -1, closed, for CLOSED
    launch.errors = errors.get();
    launch.ignoreBrokenPipe = broken.ignoreBrokenPipe;
    Ending ending;
    ending.result = awaitEnd(start(launch), deadlineIn(options.timeoutSeconds));
    ending.errors = readFile(errorsFile.path());
    return ending;
}

}  // namespace

int failingOutputs(const Options& options) {
    if (options.positional.size() != 2) {
        std::cerr << "usage: case_runner outputs [--timeout S] PROGRAM CASE_DIR\n";
        return 2;
    }
    const std::string& program = options.positional[0];
    const fs::path input = someCaseInput(options.positional[1]);
    const BrokenOutput brokenOutputs[] = {
        {"standard output on /dev/full", BrokenOutput::FULL_DEVICE, false, ENOSPC, 0},
        {"standard output closed", BrokenOutput::CLOSED, false, EBADF, 0},
        {"a pipe without reader, SIGPIPE ignored", BrokenOutput::PIPE_WITHOUT_READER, true, EPIPE,
         0},
        {"a pipe without reader, SIGPIPE at its default", BrokenOutput::PIPE_WITHOUT_READER, false,
         0, SIGPIPE},
    };
    int failures = 0;
    for (const BrokenOutput& broken : brokenOutputs) {
        Ending ending = runWithBrokenOutput(options, input, broken);
        const std::string expectedErrors =
            broken.error != 0 ? writeError(program, broken.error) : "";
        const bool endedRight =
            broken.signal != 0 ? !ending.result.timedOut && ending.result.signal == broken.signal
                               : !ending.result.timedOut && ending.result.exitStatus == 1;
        if (!endedRight || ending.errors != expectedErrors) {
            ++failures;
            std::cerr << "with " << broken.name << " (input " << input.filename().string()
                      << "): " << programName(program) << " "
                      << describeEnd(ending.result, options.timeoutSeconds)
                      << (broken.signal != 0 ? ", not by " + std::string(strsignal(broken.signal))
                                             : std::string(", not with status 1"))
                      << "\n  standard error expected: " << visible(expectedErrors)
                      << "\n  standard error actual:   " << visible(ending.errors) << "\n";
        }
    }
    std::cout << std::size(brokenOutputs) << " runs with failing output, " << failures
              << " ended badly\n";
    return failures == 0 ? 0 : 1;
}

namespace {

// Writes one unending line into the program until it ends or has been given
// twice its memory limit, then ends the input.
RunResult feedEndlessLine(pid_t pid, Descriptor& line, unsigned long long limit, Deadline deadline,
                          unsigned long long& written) {
    const std::string piece(std::size_t{1} << 20, 'a');
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return resultOf(status);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return killAndCollect(pid);
        }
        if (line.get() < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        pollfd room{line.get(), POLLOUT, 0};
        poll(&room, 1, 1);
        ssize_t count = write(line.get(), piece.data(), piece.size());
        if (count > 0) {
            written += static_cast<unsigned long long>(count);
        }
        if ((count < 0 && errno != EAGAIN && errno != EINTR) || written > 2 * limit) {
            line.reset();  // the program stopped reading, or the input ends here
        }
    }
}

}  // namespace

int memoryRunsOut(const Options& options) {
    if (options.positional.size() != 1) {
        std::cerr << "usage: case_runner memory [--limit-mb N] [--timeout S] PROGRAM\n";
        return 2;
    }
    const std::string& program = options.positional[0];
    signal(SIGPIPE, SIG_IGN);  // the program may stop reading at any moment
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) < 0) {
        throw std::runtime_error("cannot make a pipe");
    }
    Descriptor reading(ends[0]);
    Descriptor line(ends[1]);
    fcntl(line.get(), F_SETFL, O_NONBLOCK);
    Descriptor out = openFile("/dev/null", O_WRONLY);
    ScratchFile errorsFile("memory-err");
    Descriptor errors = openFile(errorsFile.path(), O_WRONLY | O_TRUNC);

    Launch launch;
    launch.argv = {program};
    launch.input = reading.get();
    launch.output = out.get();
    launch.errors = errors.get();
    launch.memoryLimit = options.memoryLimitMegabytes << 20;
    pid_t pid = start(launch);
    reading.reset();
    unsigned long long written = 0;
    RunResult result =
        feedEndlessLine(pid, line, launch.memoryLimit, deadlineIn(options.timeoutSeconds), written);

    const std::string expectedErrors = programName(program) + ": out of memory\n";
    const std::string actualErrors = readFile(errorsFile.path());
    if (result.timedOut || result.exitStatus != 1 || actualErrors != expectedErrors) {
        std::cerr << "on a line longer than its " << options.memoryLimitMegabytes
                  << " MB of address space: " << programName(program) << " "
                  << describeEnd(result, options.timeoutSeconds) << ", not with status 1"
                  << "\n  standard error expected: " << visible(expectedErrors)
                  << "\n  standard error actual:   " << visible(actualErrors) << "\n";
        return 1;
    }
    std::cout << programName(program) << " ran out of memory and said so, " << (written >> 20)
              << " MB into the line\n";
    return 0;
}
