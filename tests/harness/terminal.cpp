#include "terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

class Terminal {
public:
    Terminal() : master(posix_openpt(O_RDWR | O_NOCTTY)) {
        char name[128];
        if (master.get() < 0 || grantpt(master.get()) < 0 || unlockpt(master.get()) < 0 ||
            ptsname_r(master.get(), name, sizeof name) != 0) {
            throw std::runtime_error(std::string("cannot open a terminal: ") +
                                     std::strerror(errno));
        }
        fcntl(master.get(), F_SETFD, FD_CLOEXEC);
        fcntl(master.get(), F_SETFL, O_NONBLOCK);
        program = openFile(name, O_RDWR | O_NOCTTY);

        termios settings{};
        tcgetattr(program.get(), &settings);
        settings.c_lflag |= ICANON;
        settings.c_lflag &= ~(ECHO | ECHONL);
        settings.c_oflag &= ~ONLCR;
        settings.c_cc[VEOF] = END_OF_INPUT;
        tcsetattr(program.get(), TCSANOW, &settings);
        const winsize size{24, 80, 0, 0};
        ioctl(program.get(), TIOCSWINSZ, &size);
    }

    int keyboardAndScreen() const { return master.get(); }
    int programSide() const { return program.get(); }
    // Once only the program holds its side, reading the screen after the
    // program has ended gives what is left, then EIO.
    void leaveToProgram() { program.reset(); }

private:
    Descriptor master;
    Descriptor program;
};

// Reads whatever the program has put on the screen.  Returns whether
// anything came.  A read of the terminal first lets the kernel pass on what
// it still holds of the program's writes.
bool readScreen(int terminal, std::string& screen) {
    bool any = false;
    char buffer[4096];
    for (;;) {
        ssize_t count = read(terminal, buffer, sizeof buffer);
        if (count > 0) {
            screen.append(buffer, static_cast<std::size_t>(count));
            any = true;
        } else if (!(count < 0 && errno == EINTR)) {
            return any;  // EAGAIN: nothing more for now; EIO: the program's side is closed
        }
    }
}

void type(int terminal, const std::string& keys) {
    std::size_t done = 0;
    while (done < keys.size()) {
        ssize_t count = write(terminal, keys.data() + done, keys.size() - done);
        if (count > 0) {
            done += static_cast<std::size_t>(count);
        } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd room{terminal, POLLOUT, 0};
            poll(&room, 1, 1);
        } else {
            throw std::runtime_error("cannot type at the terminal");
        }
    }
}

std::string procFile(pid_t pid, const char* name) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/%s", static_cast<int>(pid), name);
    Descriptor file(open(path, O_RDONLY | O_CLOEXEC));
    if (file.get() < 0 && (errno == EACCES || errno == EPERM)) {
        throw std::runtime_error(std::string("cannot watch the program: ") + path + ": " +
                                 std::strerror(errno));
    }
    char buffer[8192];
    ssize_t count = file.get() < 0 ? -1 : read(file.get(), buffer, sizeof buffer);
    return count > 0 ? std::string(buffer, static_cast<std::size_t>(count)) : "";
}

// What the kernel tells about the program: whether it sleeps in read(2) on
// descriptor 0, and how many times it has gone to sleep so far.  The count
// tells a new wait from the one the last line was typed into, which shows
// the same system call until the program has been woken.
struct Sleep {
    bool readingInput = false;
    long long count = -1;
};

Sleep sleepOf(pid_t pid) {
    Sleep sleep;
    long number = -1;
    unsigned long long descriptor = 1;
    const std::string call = procFile(pid, "syscall");  // "running" while it runs
    sleep.readingInput = std::sscanf(call.c_str(), "%ld %llx", &number, &descriptor) == 2 &&
                         number == SYS_read && descriptor == 0;
    const std::string status = procFile(pid, "status");
    const char* key = "\nvoluntary_ctxt_switches:";
    auto at = status.find(key);
    if (at != std::string::npos) {
        sleep.count = std::atoll(status.c_str() + at + std::strlen(key));
    }
    return sleep;
}

struct Wait {
    bool ended = false;
    RunResult result;      // how it ended
    long long sleeps = 0;  // the sleep count while it waits
};

// Watches the program about every millisecond, reading the screen all the
// while so that it never blocks on output, until it ends or waits for input:
// asleep in a read of descriptor 0 that began after asleepBefore, seen so
// on two polls in a row with nothing printed in between.
Wait awaitWait(pid_t pid, int terminal, std::string& screen, long long asleepBefore,
               Deadline deadline) {
    int steadyPolls = 0;
    long long lastCount = -1;
    for (;;) {
        const bool printed = readScreen(terminal, screen);
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            readScreen(terminal, screen);
            return {true, resultOf(status), 0};
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return {true, killAndCollect(pid), 0};
        }
        const Sleep sleep = sleepOf(pid);
        if (sleep.readingInput && sleep.count > asleepBefore && !printed) {
            steadyPolls = sleep.count == lastCount ? steadyPolls + 1 : 1;
            lastCount = sleep.count;
            if (steadyPolls >= 2) {
                return {false, {}, sleep.count};
            }
        } else {
            steadyPolls = 0;
        }
        pollfd output{terminal, POLLIN, 0};
        poll(&output, 1, 1);
    }
}

}  // namespace

TypedRun typeLines(const Launch& base, const std::vector<std::string>& lines, std::size_t count,
                   double timeoutSeconds) {
    Terminal terminal;
    Launch launch = base;
    launch.input = launch.output = terminal.programSide();
    launch.ownTerminal = true;
    const Deadline deadline = deadlineIn(timeoutSeconds);
    const pid_t pid = start(launch);
    terminal.leaveToProgram();

    TypedRun run;
    std::size_t typed = 0;
    bool inputEnded = false;
    long long asleepBefore = -1;
    for (;;) {
        const Wait wait =
            awaitWait(pid, terminal.keyboardAndScreen(), run.screen, asleepBefore, deadline);
        if (wait.ended) {
            run.end = wait.result;
            return run;
        }
        run.screens.push_back(run.screen);
        asleepBefore = wait.sleeps;
        if (typed < count) {
            const std::string& line = lines[typed++];
            type(terminal.keyboardAndScreen(), line.back() == '\n' ? line : line + END_OF_INPUT);
        } else if (!inputEnded) {
            type(terminal.keyboardAndScreen(), std::string(1, END_OF_INPUT));
            inputEnded = true;
        } else {
            run.waitedAfterEnd = true;
            run.end = killAndCollect(pid);
            return run;
        }
    }
}
