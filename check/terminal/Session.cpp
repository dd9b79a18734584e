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
#include <sstream>

namespace {

// Reads whatever the program has put on the terminal, until EAGAIN
// (nothing more for now) or EIO (the program is gone), into the output it
// keeps (up to its limit) and the screen; returns whether anything came.
class ScreenReader {
public:
    ScreenReader(int terminal, const Typing& typing, TypedRun& run)
        : terminal(terminal), typing(typing), run(run) {}

    bool read() {
        bool came = false;
        char buffer[4096];
        for (;;) {
            const ssize_t count = ::read(terminal, buffer, sizeof buffer);
            if (count == 0 || (count < 0 && errno != EINTR)) {
                return came;
            }
            if (count <= 0) {
                continue;
            }
            came = true;
            const std::size_t room = typing.outputLimit - std::min(typing.outputLimit, taken);
            const std::size_t kept = std::min(room, static_cast<std::size_t>(count));
            taken += kept;
            if (typing.echo) {
                run.screen.write(std::string(buffer, kept));
            } else {
                run.output.append(buffer, kept);
            }
        }
    }

private:
    const int terminal;
    const Typing& typing;
    TypedRun& run;
    std::size_t taken = 0;
};

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

// Whether a descriptor of the process is the terminal.
bool isTerminal(long pid, unsigned long long fd, const std::string& terminal) {
    if (fd > 1u << 20) {
        return false;
    }
    char target[256] = {};
    const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
    return readlink(link.c_str(), target, sizeof target - 1) > 0 && terminal == target;
}

// Whether the epoll set on the descriptor holds the terminal, as its fdinfo
// lists the descriptors it watches ("tfd:        0 events: ...").
bool watchesTerminal(long pid, unsigned long long epoll, const std::string& terminal) {
    if (epoll > 1u << 20) {
        return false;
    }
    std::istringstream info(
        procFile("/proc/" + std::to_string(pid) + "/fdinfo/" + std::to_string(epoll)));
    for (std::string word; info >> word;) {
        unsigned long long fd = 0;
        if (word == "tfd:" && info >> fd && isTerminal(pid, fd, terminal)) {
            return true;
        }
    }
    return false;
}

// How surely a thread asleep in this system call, with these arguments,
// waits for input from the terminal.
enum class Input { None, Possibly, Surely };

Input takesInput(long pid, long call, const std::vector<unsigned long long>& arguments,
                 const std::string& terminal) {
    const std::set<long> reads = {SYS_read, SYS_readv, SYS_pread64, SYS_preadv};
    const std::set<long> epolls = {
#ifdef SYS_epoll_wait
        SYS_epoll_wait,
#endif
#ifdef SYS_epoll_pwait2
        SYS_epoll_pwait2,
#endif
        SYS_epoll_pwait};
    const std::set<long> waits = {
#ifdef SYS_poll
        SYS_poll,
#endif
#ifdef SYS_select
        SYS_select,
#endif
        SYS_ppoll, SYS_pselect6};
    const unsigned long long first = arguments.empty() ? ~0ull : arguments.front();
    if (reads.count(call) > 0) {
        return isTerminal(pid, first, terminal) ? Input::Surely : Input::None;
    } else if (epolls.count(call) > 0) {
        return watchesTerminal(pid, first, terminal) ? Input::Surely : Input::None;
    }
    return waits.count(call) > 0 ? Input::Possibly : Input::None;
}

// Whether the thread sleeps because its call was stopped to be told to the
// supervisor (seccomp's user notification), which lets it go on at once.
// Such a thread shows the call it is about to make, asleep, as one waiting
// in it would; only where it sleeps in the kernel tells them apart.
bool heldForTheSupervisor(const std::string& task) {
    return procFile(task + "/wchan").rfind("seccomp", 0) == 0;
}

// One look at every thread of the program and of the processes it started.
struct Look {
    bool asleep = true;              // no thread runs, or waits for the disk
    std::map<long, long long> runs;  // each thread's count of times it ran
    std::vector<long> inputWaiters;  // the threads asleep surely waiting for input
    std::vector<long> maybeWaiters;  // and those that might be
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
            std::istringstream called(procFile(task + "/syscall"));
            long call = -1;
            std::vector<unsigned long long> arguments;
            called >> call >> std::hex;
            for (unsigned long long argument = 0; arguments.size() < 6 && called >> argument;) {
                arguments.push_back(argument);
            }
            const Input input = takesInput(pid, call, arguments, terminal);
            if (input != Input::None && heldForTheSupervisor(task)) {
                look.asleep = false;  // on its way into the call, not waiting in it
                continue;
            }
            if (input == Input::Surely) {
                look.inputWaiters.push_back(tid);
            } else if (input == Input::Possibly) {
                look.maybeWaiters.push_back(tid);
            }
        }
    }
    return look;
}

// Whether one of the threads waiting for input now has run since the look
// taken when the last line was typed: it has taken that line in.
bool ranSince(const std::vector<long>& waiters, const Look& now, const Look& typed) {
    return std::any_of(waiters.begin(), waiters.end(), [&](long tid) {
        const auto before = typed.runs.find(tid);
        return before == typed.runs.end() || before->second != now.runs.at(tid);
    });
}

struct Terminal {
    Fd keyboard, programSide;
    std::string name;  // the program's side, as /proc/<pid>/fd shows it
};

// A new terminal in canonical mode, as a shell leaves it: with echo, as a
// person types at it; or with echo and newline translation off, so that
// what comes out is the program's bytes and nothing else.
Terminal openTerminal(bool echo) {
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
    settings.c_lflag |= ICANON;
    if (echo) {
        settings.c_lflag |= ECHO;
        settings.c_oflag |= OPOST | ONLCR;
    } else {
        settings.c_lflag &= ~(ECHO | ECHONL);
        settings.c_oflag &= ~ONLCR;
    }
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
// How soon a program of one thread, told calling for input, is looked at
// again while it is still on its way into the call: it hands over to nobody.
constexpr std::chrono::microseconds LOOKS_APART_ALONE(20);

// Sees the waits of one run, look by look.
class WaitSeer {
public:
    explicit WaitSeer(std::string terminal) : terminal(std::move(terminal)) {}

    // Whether the program waits now; `printed` tells that it printed since
    // the last look, `told` that it called for input lately.  A call that
    // only might take input is taken for a wait by the slower looks alone.
    bool waiting(const std::vector<std::pair<long, int>>& processes, bool printed, bool told) {
        Look look = lookAt(processes, terminal);
        const bool steady = look.asleep && !printed && look.runs == last.runs;
        steadyLooks = steady ? steadyLooks + 1 : 0;
        const bool surely = ranSince(look.inputWaiters, look, typed);
        const bool maybe = !told && ranSince(look.maybeWaiters, look, typed);
        // A program of one thread, told calling for input and found asleep in
        // that call with nothing printed, has nobody left to hand over to.
        const bool alone = told && look.runs.size() == 1 && look.asleep && !printed;
        const bool waits = (alone || steadyLooks >= (told ? STEADY_LOOKS_TOLD : STEADY_LOOKS)) &&
                           (surely || maybe);
        last = std::move(look);
        return waits;
    }

    // Whether the last look found the program one thread alone.
    bool alone() const { return last.runs.size() == 1; }

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
                   double timeoutSeconds, const Typing& typing) {
    Terminal terminal = openTerminal(typing.echo);
    const int keyboard = terminal.keyboard.get();
    auto [errorsIn, errorsOut] = makePipe();
    fcntl(errorsIn.get(), F_SETFL, O_NONBLOCK);
    RunRequest request = program.request;
    request.terminal = true;
    request.watchInput = true;
    Runner& runner = *program.runner;
    // With echo, standard error shows on the screen as at a person's terminal.
    runner.start(request, terminal.programSide.get(), terminal.programSide.get(),
                 typing.echo ? terminal.programSide.get() : errorsOut.get());
    // Once only the program holds its side, reading the terminal after the
    // program has ended gives what is left, then EIO.
    terminal.programSide = Fd();
    errorsOut = Fd();

    TypedRun run;
    ScreenReader screen(keyboard, typing, run);
    Watch watch(runner, timeoutSeconds, program.caps);
    WaitSeer seer(terminal.name);
    const bool tells = runner.tellsOfWaits();
    using Clock = std::chrono::steady_clock;
    Clock::time_point toldUntil, nextLook = Clock::now();
    bool printed = false;
    bool errorsOpen = true;
    // Once no process holds the program's side, the keyboard side reads as
    // hung up, and poll finds it ready at every call until the run's end is
    // told.  It is then read at each turn without being waited on, until
    // something comes again (a program may open its terminal anew).
    bool hungUp = false;
    while (!watch.ended()) {
        const bool told = Clock::now() < toldUntil;
        const auto apart = told    ? (seer.alone() ? LOOKS_APART_ALONE : LOOKS_APART_TOLD)
                           : tells ? LOOKS_APART_UNTOLD
                                   : LOOKS_APART;
        std::vector<pollfd> fds;
        if (!hungUp) {
            fds.push_back({keyboard, POLLIN, 0});
        }
        if (errorsOpen) {
            fds.push_back({errorsIn.get(), POLLIN, 0});
        }
        watch.wait(fds, std::chrono::duration_cast<std::chrono::microseconds>(
                            std::max(Clock::duration(0),
                                     std::min<Clock::duration>(apart, nextLook - Clock::now()))));
        const bool keyboardHungUp = !hungUp && (fds.front().revents & POLLHUP) != 0;
        const bool came = screen.read();
        hungUp = (hungUp || keyboardHungUp) && !came;
        printed = came || printed;
        errorsOpen = errorsOpen && drainInto(errorsIn.get(), run.errors, 4096);
        if (watch.takeMayWait()) {
            toldUntil = Clock::now() + TOLD_FOR;
            nextLook = Clock::now();
        }
        if (watch.ended() || Clock::now() < nextLook) {
            continue;
        }
        const bool waits = seer.waiting(runner.processes(), printed, Clock::now() < toldUntil);
        nextLook =
            Clock::now() + (Clock::now() >= toldUntil ? (tells ? LOOKS_APART_UNTOLD : LOOKS_APART)
                            : seer.alone()            ? LOOKS_APART_ALONE
                                                      : LOOKS_APART_TOLD);
        printed = false;
        if (!waits) {
            continue;
        }
        const std::size_t wait = run.waits++;
        if (wait > count) {
            run.waitedAfterEnd = true;
            watch.stopNow();
            break;
        }
        if (typing.echo && typing.atWait) {
            typing.atWait(wait, run.screen);
        } else if (!typing.echo) {
            run.at.push_back(run.output);
        }
        seer.typedNow();
        toldUntil = Clock::time_point();
        const std::string line = wait < count ? lines[wait] : "";
        type(keyboard, !line.empty() && line.back() == '\n' ? line : line + END_OF_INPUT);
    }
    screen.read();
    drainInto(errorsIn.get(), run.errors, 4096);
    run.end = watch.result();
    return run;
}
