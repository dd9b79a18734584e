// How a wait is seen, whatever the language and however the program was
// started (an interpreter, a shell script, make): every thread of the
// program and of every process it started is asleep, none has run for a few
// looks in a row, nothing was printed in between, and one of them sleeps in
// a call that takes input (a read of the terminal, or a poll, select or
// epoll wait), having run since the last line was typed.  So a C++ program
// in read(2), a Java program whose reading thread is not its first, Node.js
// in epoll_wait and a shell waiting for its child are all seen waiting.
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
#include <tuple>

#include "verdict/CaseCheck.h"

namespace {

// Ctrl-D: at the start of a line it ends the input, after some typed text
// it hands that text over without a newline.
constexpr char END_OF_INPUT = '\x04';

// More than any case typed at a terminal shows (each of its lines is
// shorter than 4095 bytes), yet little memory, whatever the program prints.
constexpr std::size_t SCREEN_LIMIT = std::size_t{1} << 20;

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

// One look at every thread of the program and of the processes it started
// (found through each thread's children, so a process that started a session
// of its own is still seen).
struct Look {
    bool asleep = true;              // no thread runs, or waits for the disk
    std::map<long, long long> runs;  // each thread's count of times it ran
    std::vector<long> inputWaiters;  // the threads asleep waiting for input
};

Look lookAt(pid_t program, const std::string& terminal, int confinerLevels) {
    Look look;
    for (const auto& [pid, depth] : processTree(program)) {
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
            if (depth >= confinerLevels &&
                std::sscanf(procFile(task + "/syscall").c_str(), "%ld %llx", &call, &argument) >=
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

struct TypedRun {
    std::vector<std::string> screens;  // the screen at each wait, in order
    std::string screen;                // the screen at the end
    RunResult end;
    bool waitedAfterEnd = false;  // it waited for input again after the input had ended
    std::string errors;           // the first part of what it wrote to standard error
};

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

// Looks in a row that must find the program asleep and unchanged: a few
// milliseconds, more than a hand-over between two threads takes.
constexpr int STEADY_LOOKS = 3;

// Runs the program on a new terminal.  At each wait the screen is recorded
// and the next of the first `count` lines is typed, one without a newline
// followed by Ctrl-D; at the wait after them Ctrl-D ends the input.  What
// it writes to standard error is kept in *errors (its first part).
TypedRun typeLines(Launch launch, const std::vector<std::string>& lines, std::size_t count,
                   double timeoutSeconds) {
    Terminal terminal = openTerminal();
    const int keyboard = terminal.keyboard.get();
    // Not a structured binding: a lambda below uses it, which C++17 forbids.
    Fd errorsIn, errorsOut;
    std::tie(errorsIn, errorsOut) = makePipe();
    fcntl(errorsIn.get(), F_SETFL, O_NONBLOCK);
    launch.input = launch.output = terminal.programSide.get();
    launch.errors = errorsOut.get();
    launch.ownTerminal = true;
    const Deadline deadline = deadlineIn(timeoutSeconds);
    const pid_t pid = start(launch);
    // Once only the program holds its side, reading the screen after the
    // program has ended gives what is left, then EIO.
    terminal.programSide = Fd();
    errorsOut = Fd();

    TypedRun run;
    Look typed, last;
    int steadyLooks = 0;
    const auto waiting = [&] {
        const bool printed = readScreen(keyboard, run.screen);
        drainInto(errorsIn.get(), run.errors, ERRORS_KEPT);
        Look look = lookAt(pid, terminal.name, launch.caps.confinerLevels);
        const bool steady = look.asleep && !printed && look.runs == last.runs;
        steadyLooks = steady ? steadyLooks + 1 : 0;
        const bool waits = steadyLooks >= STEADY_LOOKS && ranSince(look, typed);
        last = std::move(look);
        if (waits) {
            return true;
        }
        pollfd output{keyboard, POLLIN, 0};
        poll(&output, 1, 1);
        return false;
    };
    for (;;) {
        if (const std::optional<RunResult> end = watch(pid, deadline, waiting, launch.caps)) {
            readScreen(keyboard, run.screen);
            drainInto(errorsIn.get(), run.errors, ERRORS_KEPT);
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
        typed = last;
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
                  const std::vector<std::string>& waitTexts, const Launch* lesson,
                  double timeoutSeconds)
        : launch(launch),
          lesson(lesson),
          lines(typedLines(input)),
          expected(expected),
          waitTexts(waitTexts),
          timeoutSeconds(timeoutSeconds) {}

    Problems run(bool endAtEveryWait) {
        if (lesson != nullptr) {
            lessonScreens = typeLines(*lesson, lines, lines.size(), timeoutSeconds).screens;
        }
        const TypedRun whole = typeLines(launch, lines, lines.size(), timeoutSeconds);
        for (std::size_t k = 0; k < whole.screens.size() && problems.none(); ++k) {
            checkWait(whole, k);
        }
        checkEnd(whole, lines.size());
        if (const std::string difference = expected.differenceFrom(whole.screen);
            !difference.empty()) {
            problems.add("at a terminal, once all was typed, " + difference);
        }
        showErrors(whole);
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
    const Launch* const lesson;
    std::vector<std::string> lessonScreens;  // the lesson's own screen at each wait
    const std::vector<std::string> lines;
    const Expected& expected;
    const std::vector<std::string>& waitTexts;
    const double timeoutSeconds;
    std::map<std::size_t, std::string> pipeOutputs;  // by the number of lines
    Problems problems;

    // What the program wrote to standard error goes with the first problem.
    void showErrors(const TypedRun& run) {
        if (!problems.none()) {
            problems.found.front() = withErrors(problems.found.front(), run.errors);
        }
    }

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
        } else if (!midLine && k < lessonScreens.size()) {
            checkWaitsWhereTheLessonWaits(screen, k);
        } else if (!midLine && k > 0 && !expected.pattern) {
            checkAnswerShown(whole, k);
        }
    }

    // At each wait the screen must end with the prompt the lesson's own
    // program shows there, with as much before it: a version that shows a
    // prompt too early, or a later one, waits at the wrong question.
    void checkWaitsWhereTheLessonWaits(const std::string& screen, std::size_t k) {
        const std::string& lessonScreen = lessonScreens[k];
        const std::string* const prompt = waitTextEnding(lessonScreen, lessonScreen.size());
        const auto lineCount = [](const std::string& text) {
            return std::count(text.begin(), text.end(), '\n');
        };
        const bool same = expected.pattern ? lineCount(screen) == lineCount(lessonScreen)
                                           : screen.size() == lessonScreen.size();
        if (prompt == nullptr || (same && waitTextEnding(screen, screen.size()) == prompt)) {
            return;
        }
        problems.add("at a terminal, " + typedSoFar(k) + ", the program waited for input " +
                     "at another point than the lesson, which waits at the prompt " +
                     quoted(*prompt) + "\n  the lesson's screen ended: " + screenEnd(lessonScreen) +
                     "\n  the screen ended:          " + screenEnd(screen));
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
            showErrors(early);
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
                         const std::vector<std::string>& waitTexts, const Launch* lesson,
                         double timeoutSeconds, bool endAtEveryWait) {
    return TerminalCheck(launch, input, expected, waitTexts, lesson, timeoutSeconds)
        .run(endAtEveryWait);
}
