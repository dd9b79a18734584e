// How a wait is seen: the program asleep in read(2) on descriptor 0 (from
// /proc/<pid>/syscall), in a sleep that began after the last line was typed
// (its count of voluntary context switches has grown), on two looks in a
// row with nothing printed between.
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

#include "CaseCheck.h"

namespace {

// Ctrl-D: at the start of a line it ends the input, after some typed text
// it hands that text over without a newline.
constexpr char END_OF_INPUT = '\x04';

// More than any case shows, yet little enough memory.
constexpr std::size_t SCREEN_LIMIT = std::size_t{16} << 20;

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

// Whether the program sleeps in read(2) on descriptor 0, and how many times
// it has gone to sleep so far.
std::pair<bool, long long> sleepOf(pid_t pid) {
    const auto proc = [pid](const char* name) {
        const std::string path = "/proc/" + std::to_string(pid) + "/" + name;
        const Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
        char text[8192] = {};
        const ssize_t count = file.get() < 0 ? -1 : read(file.get(), text, sizeof text - 1);
        if (count < 0 && (errno == EACCES || errno == EPERM)) {
            throw std::runtime_error("cannot watch the program: " + path + ": " +
                                     std::strerror(errno));
        }
        return std::string(text);
    };
    long number = -1;
    unsigned long long descriptor = 1;
    const bool reading =
        std::sscanf(proc("syscall").c_str(), "%ld %llx", &number, &descriptor) == 2 &&
        number == SYS_read && descriptor == 0;  // "running" while it runs
    const std::string status = proc("status");
    const char* key = "\nvoluntary_ctxt_switches:";
    const std::size_t at = status.find(key);
    return {reading, at == std::string::npos ? -1 : std::atoll(&status[at + std::strlen(key)])};
}

struct TypedRun {
    std::vector<std::string> screens;  // the screen at each wait, in order
    std::string screen;                // the screen at the end
    RunResult end;
    bool waitedAfterEnd = false;  // it waited for input again after the input had ended
};

// A new terminal in canonical mode, as a shell leaves it, but with echo and
// newline translation off, so the screen holds the program's bytes and
// nothing else.  Returns the keyboard's side, then the program's.
std::pair<Fd, Fd> openTerminal() {
    int keyboard = -1, programSide = -1;
    const winsize size{24, 80, 0, 0};
    if (openpty(&keyboard, &programSide, nullptr, nullptr, &size) < 0) {
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
    return {Fd(keyboard), Fd(programSide)};
}

// Runs the program on a new terminal.  At each wait the screen is recorded
// and the next of the first `count` lines is typed, one without a newline
// followed by Ctrl-D; at the wait after them Ctrl-D ends the input.
TypedRun typeLines(Launch launch, const std::vector<std::string>& lines, std::size_t count,
                   double timeoutSeconds) {
    auto [screenSide, programSide] = openTerminal();
    const int keyboard = screenSide.get();
    launch.input = launch.output = programSide.get();
    launch.ownTerminal = true;
    const Deadline deadline = deadlineIn(timeoutSeconds);
    const pid_t pid = start(launch);
    // Once only the program holds its side, reading the screen after the
    // program has ended gives what is left, then EIO.
    programSide = Fd();

    TypedRun run;
    long long asleepBefore = -1, sleeps = -1;
    int steadyLooks = 0;
    const auto waiting = [&] {
        const bool printed = readScreen(keyboard, run.screen);
        const auto [reading, count] = sleepOf(pid);
        const bool asleep = reading && count > asleepBefore && !printed;
        steadyLooks = asleep ? (count == sleeps ? steadyLooks + 1 : 1) : 0;
        sleeps = count;
        if (steadyLooks >= 2) {
            return true;
        }
        pollfd output{keyboard, POLLIN, 0};
        poll(&output, 1, 1);
        return false;
    };
    for (;;) {
        if (const std::optional<RunResult> end = watch(pid, deadline, waiting)) {
            readScreen(keyboard, run.screen);
            run.end = *end;
            return run;
        }
        const std::size_t wait = run.screens.size();
        if (wait > count) {
            run.waitedAfterEnd = true;
            run.end = killAndCollect(pid);
            return run;
        }
        run.screens.push_back(run.screen);
        asleepBefore = sleeps;
        steadyLooks = 0;
        const std::string line = wait < count ? lines[wait] : "";
        type(keyboard, !line.empty() && line.back() == '\n' ? line : line + END_OF_INPUT);
    }
}

// The lines of the input, each with its newline; the last may have none.
// A control byte would edit the line or send a signal, and a terminal in
// canonical mode holds at most 4095 bytes of a line.
std::vector<std::string> typedLines(const std::string& input) {
    std::vector<std::string> lines = linesWithEnds(input);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string text = lines[i].substr(0, lines[i].find('\n'));
        const auto control = std::find_if(text.begin(), text.end(), [](unsigned char c) {
            return (c < 32 && c != '\t') || c == 127;
        });
        if (control != text.end() || text.size() > 4094) {
            throw NotTypable{"line " + std::to_string(i + 1) +
                             (control != text.end()
                                  ? " holds the control byte " + quoted(std::string(1, *control)) +
                                        ", which a terminal does not pass on as typed"
                                  : " has " + std::to_string(text.size()) +
                                        " bytes, more than a terminal holds of a line")};
        }
    }
    return lines;
}

// The last bytes of a screen, to show where it stands.
std::string screenEnd(const std::string& screen) {
    const std::size_t shown = std::min<std::size_t>(60, screen.size());
    return (shown < screen.size() ? "..." : "") + quoted(screen.substr(screen.size() - shown));
}

// Types the case at the program, and judges every wait and the end.
class TerminalCheck {
public:
    TerminalCheck(const Launch& launch, const std::string& input, const Expected& expected,
                  const std::vector<std::string>& waitTexts, double timeoutSeconds)
        : launch(launch),
          lines(typedLines(input)),
          expected(expected),
          waitTexts(waitTexts),
          timeoutSeconds(timeoutSeconds) {}

    Problems run(bool endAtEveryWait) {
        const TypedRun whole = typeLines(launch, lines, lines.size(), timeoutSeconds);
        for (std::size_t k = 0; k < whole.screens.size() && problems.none(); ++k) {
            checkWait(whole, k);
        }
        checkEnd(whole, lines.size());
        if (const std::string difference = expected.differenceFrom(whole.screen);
            !difference.empty()) {
            problems.add("at a terminal, once all was typed, " + difference);
        }
        // Once the whole session has gone wrong, ending it early tells no
        // more, nor does ending it at a later wait once it went wrong at one.
        const std::size_t waits =
            endAtEveryWait && problems.none() ? std::min(whole.screens.size(), lines.size()) : 0;
        for (std::size_t k = 0; k < waits && problems.none(); ++k) {
            checkInputEndingAt(k);
        }
        return problems;
    }

private:
    const Launch& launch;
    const std::vector<std::string> lines;
    const Expected& expected;
    const std::vector<std::string>& waitTexts;
    const double timeoutSeconds;
    std::map<std::size_t, std::string> pipeOutputs;  // by the number of lines
    Problems problems;

    // "after typing "3\n"" or "before anything was typed"
    std::string typedSoFar(std::size_t k) const {
        return k == 0 ? "before anything was typed"
                      : "after typing " + quoted(lines[k - 1]) +
                            (k > 1 ? " (line " + std::to_string(k) + ")" : "");
    }

    // What a plain pipe run prints when the input ends after the first k lines.
    const std::string& outputEndingAfter(std::size_t k) {
        if (pipeOutputs.count(k) == 0) {
            std::string input;
            for (std::size_t i = 0; i < k; ++i) {
                input += lines[i];
            }
            const RunResult result = runPiped(launch, input, timeoutSeconds, &pipeOutputs[k],
                                              expected.text.size() + SCREEN_LIMIT);
            if (!result.endedWell()) {
                problems.add("through a pipe, with the input ending " + typedSoFar(k) +
                             ", the program " + result.describe(timeoutSeconds));
            }
        }
        return pipeOutputs[k];
    }

    // The wait text that the first `length` bytes of the text end with, or null.
    const std::string* waitTextEnding(const std::string& text, std::size_t length) const {
        for (const std::string& wait : waitTexts) {
            if (length >= wait.size() &&
                text.compare(length - wait.size(), wait.size(), wait) == 0) {
                return &wait;
            }
        }
        return nullptr;
    }

    // The program waited with `shown` bytes of the expected output on
    // screen, and the prompt being answered was not among them: names the
    // next prompt of the expected output, and what the screen lacked of it.
    void promptMissing(std::size_t k, const std::string& screen, std::size_t shown) {
        const std::string& text = expected.text;
        std::size_t end = shown + 1;
        while (end <= text.size() && waitTextEnding(text, end) == nullptr) {
            ++end;
        }
        const std::string where = "at a terminal, " + typedSoFar(k) + ", ";
        if (end > text.size()) {
            problems.add(where + "the program waited for input, but no prompt is left in the " +
                         "expected output\n  the screen ended: " + screenEnd(screen));
            return;
        }
        const std::string& prompt = *waitTextEnding(text, end);
        std::string problem = where + "the prompt " + quoted(prompt) +
                              " was not on screen when the program waited for input";
        if (end - shown > prompt.size()) {
            problem += "\n  nor was what comes before it: " +
                       screenEnd(text.substr(shown, end - shown - prompt.size()));
        }
        problems.add(problem + "\n  the screen ended: " + screenEnd(screen));
    }

    // The screen at wait k must be how the expected output begins, and end
    // with the prompt being answered.  After an unended line the program is
    // in the middle of that line and answers no prompt.
    void checkWait(const TypedRun& whole, std::size_t k) {
        const std::string& screen = whole.screens[k];
        const bool midLine = k > 0 && lines[k - 1].back() != '\n';
        if (const std::string difference = expected.differenceFromStart(screen);
            !difference.empty()) {
            problems.add("at a terminal, " + typedSoFar(k) +
                         ", the program waited for input with " + difference);
        } else if (!midLine && waitTextEnding(screen, screen.size()) == nullptr) {
            promptMissing(k, screen, screen.size());
        } else if (!midLine && k > 0 && !expected.pattern) {
            checkAnswerShown(whole, k);
        }
    }

    // A screen can end in a prompt and still lag behind: an old prompt, with
    // the answers to the line just typed not yet written.  The pipe runs show
    // what the line did: when the input ending after line k prints something
    // other than the input ending before it, line k was taken in; the output
    // it shares with the expected one, up to the first prompt past the last
    // wait, was then printed before the program waited.
    void checkAnswerShown(const TypedRun& whole, std::size_t k) {
        const std::string& after = outputEndingAfter(k);
        if (after == outputEndingAfter(k - 1)) {
            return;
        }
        const std::string& text = expected.text;
        const std::size_t shared =
            std::mismatch(after.begin(), after.end(), text.begin(), text.end()).first -
            after.begin();
        std::size_t end = whole.screens[k - 1].size() + 1;
        while (end <= shared && waitTextEnding(text, end) == nullptr) {
            ++end;
        }
        const std::size_t shown = whole.screens[k].size();
        if (end <= shared && shown < end) {
            promptMissing(k, whole.screens[k], shown);
        }
    }

    void checkEnd(const TypedRun& run, std::size_t k) {
        const std::string where = "at a terminal, when the input ended " + typedSoFar(k) + ", ";
        if (run.waitedAfterEnd) {
            problems.add(where + "the program waited for input again instead of ending");
        } else if (!run.end.endedWell()) {
            problems.add(where + "the program " + run.end.describe(timeoutSeconds));
        }
    }

    // Ctrl-D at wait k: the program must end at once, with status 0 and all
    // that a pipe run of the same lines prints on screen.
    void checkInputEndingAt(std::size_t k) {
        const TypedRun early = typeLines(launch, lines, k, timeoutSeconds);
        checkEnd(early, k);
        if (!problems.none()) {
            return;
        }
        const std::string& piped = outputEndingAfter(k);
        if (const std::string difference = Expected(piped, false).differenceFrom(early.screen);
            problems.none() && !difference.empty()) {
            problems.add(
                "at a terminal, when the input ended " + typedSoFar(k) +
                ", the screen was not what a pipe run of the same input prints: " + difference);
        }
    }
};

}  // namespace

Problems checkAtTerminal(const Launch& launch, const std::string& input, const Expected& expected,
                         const std::vector<std::string>& waitTexts, double timeoutSeconds,
                         bool endAtEveryWait) {
    return TerminalCheck(launch, input, expected, waitTexts, timeoutSeconds).run(endAtEveryWait);
}
