// A program whose standard output cannot be written, or whose memory runs
// out, must say so on standard error and end with status 1.
//
// case_runner outputs PROGRAM CASE_DIR
//     Runs PROGRAM on its first case input (by name; none without cases)
//     with standard output on /dev/full, closed, and into a pipe whose reader
//     has gone, SIGPIPE ignored and at its default.  The first three must end
//     with status 1 and exactly "<program>: write error: <strerror text>\n"
//     on standard error; the last must be ended by SIGPIPE.
//
// case_runner memory [--limit-mb N] PROGRAM
//     Limits PROGRAM's address space to N MB (default 300) and writes it one
//     line through a pipe until it ends, or the line is twice the limit long.
//     It must end with status 1 and exactly "<program>: out of memory\n" on
//     standard error.
#include <poll.h>

#include <tuple>

#include "harness.h"

namespace {

// "" when the program ended as it must (by the signal, or else with status 1)
// with exactly `expected` on standard error; else what it did instead.
std::string wrongEnding(const RunResult& result, const std::string& errors,
                        const std::string& expected, int signal, double timeoutSeconds) {
    const bool endedRight =
        !result.timedOut && (signal != 0 ? result.signal == signal : result.exitStatus == 1);
    if (endedRight && errors == expected) {
        return "";
    }
    return result.describe(timeoutSeconds) +
           (endedRight    ? ""
            : signal != 0 ? ", not by signal " + std::to_string(signal)
                          : ", not with status 1") +
           "\n  standard error expected: " + quoted(expected) +
           "\n  standard error actual:   " + quoted(errors);
}

}  // namespace

int failingOutputs(const Options& options) {
    const std::string program = fs::path(options.positional[0]).filename();
    const std::vector<fs::path> inputs = caseInputs(options.positional[1]);
    const fs::path input = inputs.empty() ? "/dev/null" : inputs.front();
    // Where standard output leads, and the error the program must report
    // (none: SIGPIPE at its default must end it).
    const std::pair<const char*, int> brokenOutputs[] = {
        {"standard output on /dev/full", ENOSPC},
        {"standard output closed", EBADF},
        {"a pipe without reader, SIGPIPE ignored", EPIPE},
        {"a pipe without reader, SIGPIPE at its default", 0}};
    Verdict verdict;
    for (const auto& [name, error] : brokenOutputs) {
        const Fd in = memoryFile(readFile(input));
        const Fd out = error == ENOSPC  ? Fd(open("/dev/full", O_WRONLY | O_CLOEXEC))
                       : error == EBADF ? Fd()
                                        : std::move(makePipe().second);  // no reader
        const Fd errors = memoryFile("");
        Program run = localProgram({options.positional[0]}, options);
        run.request.ignoreBrokenPipe = error == EPIPE;
        const RunResult result = runOn(*run.runner, run.request, in.get(), out.get(), errors.get(),
                                       options.timeoutSeconds);
        const std::string expected =
            error != 0 ? program + ": write error: " + std::strerror(error) + "\n" : "";
        if (const std::string wrong = wrongEnding(result, readAll(errors), expected,
                                                  error != 0 ? 0 : SIGPIPE, options.timeoutSeconds);
            !wrong.empty()) {
            verdict.fail("with " + std::string(name) + " (input " + input.filename().string() +
                         "): " + program + " " + wrong);
        }
    }
    std::cout << std::size(brokenOutputs) << " runs with failing output, " << verdict.failures
              << " ended badly\n";
    return verdict.status();
}

int memoryRunsOut(const Options& options) {
    const std::string program = fs::path(options.positional[0]).filename();
    Fd reading, line;
    std::tie(reading, line) = makePipe();
    fcntl(line.get(), F_SETFL, O_NONBLOCK);
    const Fd out(open("/dev/null", O_WRONLY | O_CLOEXEC)), errors = memoryFile("");
    Program run = localProgram({options.positional[0]}, options);
    const unsigned long long limit = options.memoryLimitMegabytes << 20;
    run.request.addressSpace = limit;
    run.runner->start(run.request, reading.get(), out.get(), errors.get());
    reading = Fd();

    // One unending line, until the program ends or has been given twice its
    // memory limit: then the input ends.
    const std::string piece(std::size_t{1} << 20, 'a');
    unsigned long long written = 0;
    Watch watch(*run.runner, options.timeoutSeconds, {});
    while (!watch.ended()) {
        // Once the line has ended, this only waits, and writes fail.
        std::vector<pollfd> room;
        if (line.get() >= 0) {
            room.push_back({line.get(), POLLOUT, 0});
        }
        watch.wait(room, std::chrono::milliseconds(1));
        if (line.get() < 0) {
            continue;
        }
        const ssize_t count = write(line.get(), piece.data(), piece.size());
        written += count > 0 ? static_cast<unsigned long long>(count) : 0;
        if ((count < 0 && errno != EAGAIN && errno != EINTR) || written > 2 * limit) {
            line = Fd();  // the program stopped reading, or the input ends here
        }
    }
    const RunResult result = watch.result();
    if (const std::string wrong = wrongEnding(
            result, readAll(errors), program + ": out of memory\n", 0, options.timeoutSeconds);
        !wrong.empty()) {
        std::cerr << "on a line longer than its " << options.memoryLimitMegabytes
                  << " MB of address space: " << program << " " << wrong << "\n";
        return 1;
    }
    std::cout << program << " ran out of memory and said so, " << (written >> 20)
              << " MB into the line\n";
    return 0;
}
