#include "terminal/Session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

namespace {

// Reads whatever the program has put on the screen, until EAGAIN (nothing
// more for now) or EIO (the program is gone); returns whether anything came.
bool readScreen(int terminal, std::string& screen) {
    bool came = false;
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(terminal, buffer, sizeof buffer);
        if (count == 0 || (count < 0 && errno != EINTR)) {
            return came;
        }
        if (count > 0) {
            came = true;
            const std::size_t room = SCREEN_LIMIT - std::min(SCREEN_LIMIT, screen.size());
            screen.append(buffer, std::min(room, static_cast<std::size_t>(count)));
        }
    }
}

void type(int terminal, const std::string& keys) {
    for (std::size_t done = 0; done < keys.size();) {
        pollfd room{terminal, POLLOUT, 0};
        poll(&room, 1, 1);
        const ssize_t count = write(terminal, keys.data() + done, keys.size() - done);
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            throw std::runtime_error("cannot type at the terminal");
        }
        done += static_cast<std::size_t>(std::max<ssize_t>(count, 0));
    }
}

// Whether a thread asleep in this system call, with this first argument,
// sleeps waiting for input from the terminal.
bool takesInput(long pid, long call, unsigned long long firstArgument,
                const std::string& terminal) {
    const std::set<long> reads = {SYS_read, SYS_readv, SYS_pread64, SYS_preadv};
    const std::set<long> waits = {
#ifdef SYS_poll
        SYS_poll,
#endif
#ifdef SYS_select
        SYS_select,
#endif
#ifdef SYS_epoll_wait
        SYS_epoll_wait,
#endif
#ifdef SYS_epoll_pwait2
        SYS_epoll_pwait2,
#endif
        SYS_ppoll,        SYS_pselect6, SYS_epoll_pwait};
    if (waits.count(call) > 0) {
        return true;
    } else if (reads.count(call) == 0 || firstArgument > 1u << 20) {
        return false;
    }
    char target[256] = {};
    const std::string link =
        "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(firstArgument);
    return readlink(link.c_str(), target, sizeof target - 1) > 0 && terminal == target;
}

// One look at every thread of the program and of the processes it started.
struct Look {
    bool asleep = true;              // no thread runs, or waits for the disk
    std::map<long, long long> runs;  // each thread's count of times it ran
    std::vector<long> inputWaiters;  // the threads asleep waiting for input
};

Look lookAt(const std::vector<std::pair<long, int>>& processes, const std::string& terminal) {
    Look look;
    for (const auto& [pid, depth] : processes) {
        for (const long tid : threadsOf(pid)) {
            const std::string task =
                "/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid);
            const std::string stat = procFile(task + "/stat");
            const std::size_t nameEnd = stat.rfind(')');
            const char state = nameEnd == std::string::npos || nameEnd + 2 >= stat.size()
                                   ? 'X'
                                   : stat[nameEnd + 2];
            if (state == 'Z' || state == 'X') {
                continue;  // ended, waiting to be collected
            }
            const std::vector<long long> schedule = numbersIn(procFile(task + "/schedstat"));
            look.runs[tid] = schedule.size() >= 3 ? schedule[2] : -1;
            if (state != 'S') {
                look.asleep = false;
                continue;
            }
            long call = -1;
            unsigned long long argument = ~0ull;
            if (std::sscanf(procFile(task + "/syscall").c_str(), "%ld %llx", &call, &argument) >=
                    1 &&
                takesInput(pid, call, argument, terminal)) {
                look.inputWaiters.push_back(tid);
            }
        }
    }
    return look;
}

// Whether a thread waiting for input now has run since the look taken when
// the last line was typed: it has taken that line in.
bool ranSince(const Look& now, const Look& typed) {
    return std::any_of(now.inputWaiters.begin(), now.inputWaiters.end(), [&](long tid) {
        const auto before = typed.runs.find(tid);
        return before == typed.runs.end() || before->second != now.runs.at(tid);
    });
}

struct Terminal {
    Fd keyboard, programSide;
    std::string name;  // the program's side, as /proc/<pid>/fd shows it
};

// A new terminal in canonical mode, as a shell leaves it, but with echo and
// newline translation off, so the screen holds the program's bytes and
// nothing else.
Terminal openTerminal() {
    int keyboard = -1, programSide = -1;
    char name[256] = {};
    const winsize size{24, 80, 0, 0};
    if (openpty(&keyboard, &programSide, name, nullptr, &size) < 0) {
        throw std::runtime_error(std::string("cannot open a terminal: ") + std::strerror(errno));
    }
    fcntl(keyboard, F_SETFD, FD_CLOEXEC);
    fcntl(keyboard, F_SETFL, O_NONBLOCK);
    fcntl(programSide, F_SETFD, FD_CLOEXEC);
    termios settings{};
    tcgetattr(programSide, &settings);
    settings.c_lflag = (settings.c_lflag | ICANON) & ~(ECHO | ECHONL);
    settings.c_oflag &= ~ONLCR;
    settings.c_cc[VEOF] = END_OF_INPUT;
    tcsetattr(programSide, TCSANOW, &settings);
    return {Fd(keyboard), Fd(programSide), name};
}

// Telling a wait from a pause: how many looks in a row must find the
// program asleep and unchanged, and how far apart, when a run's call of
// input was told and when it was not.  More than a hand-over between two
// threads takes.
constexpr int STEADY_LOOKS = 3, STEADY_LOOKS_TOLD = 2;
constexpr std::chrono::microseconds LOOKS_APART(1000), LOOKS_APART_TOLD(150);
// How long looks come quickly after a call of input was told; and how far
// apart the looks are otherwise, when the runner tells of such calls.
constexpr std::chrono::microseconds TOLD_FOR(5000), LOOKS_APART_UNTOLD(5000);

// Sees the waits of one run, look by look.
class WaitSeer {
public:
    explicit WaitSeer(std::string terminal) : terminal(std::move(terminal)) {}

    // Whether the program waits now; `printed` tells that it printed since
    // the last look, `told` that it called for input lately.
    bool waiting(const std::vector<std::pair<long, int>>& processes, bool printed, bool told) {
        Look look = lookAt(processes, terminal);
        const bool steady = look.asleep && !printed && look.runs == last.runs;
        steadyLooks = steady ? steadyLooks + 1 : 0;
        const bool waits =
            steadyLooks >= (told ? STEADY_LOOKS_TOLD : STEADY_LOOKS) && ranSince(look, typed);
        last = std::move(look);
        return waits;
    }

    // A line was typed at the wait just seen.
    void typedNow() {
        typed = last;
        steadyLooks = 0;
    }

private:
    std::string terminal;
    Look typed, last;
    int steadyLooks = 0;
};

}  // namespace

TypedRun typeLines(Program& program, const std::vector<std::string>& lines, std::size_t count,
                   double timeoutSeconds) {
    Terminal terminal = openTerminal();
    const int keyboard = terminal.keyboard.get();
    auto [errorsIn, errorsOut] = makePipe();
    fcntl(errorsIn.get(), F_SETFL, O_NONBLOCK);
    RunRequest request = program.request;
    request.terminal = true;
    request.watchInput = true;
    Runner& runner = *program.runner;
    runner.start(request, terminal.programSide.get(), terminal.programSide.get(), errorsOut.get());
    // Once only the program holds its side, reading the screen after the
    // program has ended gives what is left, then EIO.
    terminal.programSide = Fd();
    errorsOut = Fd();

    TypedRun run;
    Watch watch(runner, timeoutSeconds, program.caps);
    WaitSeer seer(terminal.name);
    const bool tells = runner.tellsOfWaits();
    using Clock = std::chrono::steady_clock;
    Clock::time_point toldUntil, nextLook = Clock::now();
    bool printed = false;
    while (!watch.ended()) {
        const bool told = Clock::now() < toldUntil;
        const auto apart = told ? LOOKS_APART_TOLD : tells ? LOOKS_APART_UNTOLD : LOOKS_APART;
        std::vector<pollfd> fds = {{keyboard, POLLIN, 0}, {errorsIn.get(), POLLIN, 0}};
        watch.wait(fds, std::chrono::duration_cast<std::chrono::microseconds>(
                            std::max(Clock::duration(0),
                                     std::min<Clock::duration>(apart, nextLook - Clock::now()))));
        printed = readScreen(keyboard, run.screen) || printed;
        drainInto(errorsIn.get(), run.errors, 4096);
        if (watch.takeMayWait()) {
            toldUntil = Clock::now() + TOLD_FOR;
            nextLook = Clock::now();
        }
        if (watch.ended() || Clock::now() < nextLook) {
            continue;
        }
        nextLook = Clock::now() + (Clock::now() < toldUntil ? LOOKS_APART_TOLD
                                   : tells                  ? LOOKS_APART_UNTOLD
                                                            : LOOKS_APART);
        const bool waits = seer.waiting(runner.processes(), printed, Clock::now() < toldUntil);
        printed = false;
        if (!waits) {
            continue;
        }
        const std::size_t wait = run.screens.size();
        if (wait > count) {
            run.waitedAfterEnd = true;
            watch.stopNow();
            break;
        }
        run.screens.push_back(run.screen);
        seer.typedNow();
        toldUntil = Clock::time_point();
        const std::string line = wait < count ? lines[wait] : "";
        type(keyboard, !line.empty() && line.back() == '\n' ? line : line + END_OF_INPUT);
    }
    readScreen(keyboard, run.screen);
    drainInto(errorsIn.get(), run.errors, 4096);
    run.end = watch.result();
    return run;
}
