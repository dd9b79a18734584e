// case_runner session --waits WAITS [--quick] [--clock ...] PROGRAM CASE.in EXPECTED
//
// Types CASE.in at PROGRAM on a pseudo-terminal, a line each time the program
// waits (sleeps in a read of descriptor 0).  WAITS lists what the screen may
// end with then, a C-style double-quoted string a line (\n \t \\ \" escapes,
// # comments).  At every wait the screen must be how EXPECTED begins, end
// with one of those texts, and show what the line typed last made the
// program print; at the end it must be EXPECTED, with status 0.  Then (not
// with --quick), for every wait, a session whose input ends there must end
// at once with status 0 and the screen that a pipe run of the same lines
// prints.  Input that cannot be typed plainly is skipped with a note.
#include <poll.h>
#include <pty.h>
#include <sys/syscall.h>
#include <termios.h>

#include "harness.h"

namespace {

// Ctrl-D: at the start of a line it ends the input, after some typed text
// it hands that text over without a newline.
constexpr char END_OF_INPUT = '\x04';

// Reads whatever the program has put on the screen, until EAGAIN (nothing
// more for now) or EIO (the program is gone); returns whether anything came.
// A read of the terminal first lets the kernel pass on what it still holds
// of the program's writes.
bool readScreen(int terminal, std::string& screen) {
    const std::size_t before = screen.size();
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(terminal, buffer, sizeof buffer);
        if (count == 0 || (count < 0 && errno != EINTR)) {
            return screen.size() > before;
        }
        screen.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
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
// it has gone to sleep so far.  The count tells a new wait from the one the
// last line was typed into, which shows the same system call until the
// program has been woken.
std::pair<bool, long long> sleepOf(pid_t pid) {
    const auto proc = [pid](const char* name) {
        const std::string path = "/proc/" + std::to_string(pid) + "/" + name;
        const Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
        char text[8192] = {};
        const ssize_t count = file.fd < 0 ? -1 : read(file.fd, text, sizeof text - 1);
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

// Runs the program on a new terminal in canonical mode (as a shell leaves
// it, but with echo and newline translation off, so the screen holds the
// program's bytes and nothing else).  At each wait the screen is recorded
// and the next of the first `count` lines is typed, one without a newline
// followed by Ctrl-D; at the wait after them Ctrl-D ends the input.  A wait
// is the program asleep in a read of descriptor 0 that began after the last
// line was typed, seen so on two looks in a row with nothing printed between.
TypedRun typeLines(Launch launch, const std::vector<std::string>& lines, std::size_t count,
                   double timeoutSeconds) {
    int keyboard = -1, programSide = -1;
    const winsize size{24, 80, 0, 0};
    if (openpty(&keyboard, &programSide, nullptr, nullptr, &size) < 0) {
        throw std::runtime_error(std::string("cannot open a terminal: ") + std::strerror(errno));
    }
    const Fd screen(keyboard);
    Fd program(programSide);
    fcntl(keyboard, F_SETFD, FD_CLOEXEC);
    fcntl(keyboard, F_SETFL, O_NONBLOCK);
    fcntl(programSide, F_SETFD, FD_CLOEXEC);
    termios settings{};
    tcgetattr(programSide, &settings);
    settings.c_lflag = (settings.c_lflag | ICANON) & ~(ECHO | ECHONL);
    settings.c_oflag &= ~ONLCR;
    settings.c_cc[VEOF] = END_OF_INPUT;
    tcsetattr(programSide, TCSANOW, &settings);

    launch.input = launch.output = programSide;
    launch.ownTerminal = true;
    const Deadline deadline = deadlineIn(timeoutSeconds);
    const pid_t pid = start(launch);
    // Once only the program holds its side, reading the screen after the
    // program has ended gives what is left, then EIO.
    program = Fd();

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

// The lines of a case input, each with its newline; the last may have none.
// Input that cannot be typed plainly at a terminal is skipped: a control
// byte would edit the line or send a signal, and a terminal in canonical
// mode holds at most 4095 bytes of a line.
std::vector<std::string> typedLines(const std::string& input) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < input.size(); start += lines.back().size()) {
        const std::size_t end = std::min(input.find('\n', start), input.size() - 1) + 1;
        lines.push_back(input.substr(start, end - start));
        const std::string text = lines.back().substr(0, lines.back().find('\n'));
        const auto control = std::find_if(text.begin(), text.end(), [](unsigned char c) {
            return (c < 32 && c != '\t') || c == 127;
        });
        if (control != text.end() || text.size() > 4094) {
            throw CannotRun{
                "skipped: this input cannot be typed plainly at a terminal: line " +
                    std::to_string(lines.size()) +
                    (control != text.end()
                         ? " holds the control byte " + visible(std::string(1, *control))
                         : " has " + std::to_string(text.size()) + " bytes"),
                SKIPPED};
        }
    }
    return lines;
}

// A C-style double-quoted text with \n \t \\ \" escapes, unquoted; nothing
// when the line is not one.
std::optional<std::string> unquoted(const std::string& line) {
    if (line.size() < 2 || line.front() != '"' || line.back() != '"') {
        return std::nullopt;
    }
    std::string text;
    for (std::size_t at = 1; at + 1 < line.size(); ++at) {
        char c = line[at];
        if (c == '\\') {
            c = at + 2 < line.size() ? line[++at] : '\0';
            if (c == 'n' || c == 't') {
                c = c == 'n' ? '\n' : '\t';
            } else if (c != '\\' && c != '"') {
                return std::nullopt;
            }
        } else if (c == '"') {
            return std::nullopt;
        }
        text += c;
    }
    return text;
}

// The texts that WAITS lists, unquoted.
std::vector<std::string> readWaits(const fs::path& path) {
    std::vector<std::string> texts;
    for (const std::string& line : splitLines(readFile(path))) {
        if (line.empty() || line[0] == '#') {
            continue;
        } else if (const std::optional<std::string> text = unquoted(line)) {
            texts.push_back(*text);
        } else {
            throw std::runtime_error(path.string() + ": not a double-quoted text: " + line);
        }
    }
    if (texts.empty()) {
        throw std::runtime_error(path.string() + " lists no text");
    }
    return texts;
}

std::string typedCount(std::size_t lines) {
    return std::to_string(lines) + (lines == 1 ? " line" : " lines") + " typed";
}

// Types the case at the program, and judges every wait and the end.
struct SessionCheck {
    const Options& options;
    const Launch launch;
    const std::vector<std::string> lines;
    const std::vector<std::string> waitTexts;
    const Expected expected;
    std::map<std::size_t, std::string> pipeOutputs;  // by the number of lines
    Verdict verdict;

    int run() {
        const TypedRun whole = typeLines(launch, lines, lines.size(), options.timeoutSeconds);
        for (std::size_t k = 0; k < whole.screens.size(); ++k) {
            checkWait(whole, k);
        }
        checkEnd(whole, "the full session");
        if (const std::string difference = expected.differenceFrom(whole.screen);
            !difference.empty()) {
            verdict.fail("at the end of the full session: " + difference);
        }
        const std::size_t endedEarly =
            options.quick ? 0 : std::min(whole.screens.size(), lines.size());
        for (std::size_t k = 0; k < endedEarly; ++k) {
            checkInputEndingAt(k);
        }
        if (verdict.failures > 0) {
            std::cerr << "session failed: " << verdict.failures << " problem(s)\n";
        } else {
            std::cout << typedCount(lines.size()) << " at " << whole.screens.size()
                      << " wait(s), and the input ended at " << endedEarly
                      << " of them in runs of their own: all as expected\n";
        }
        return verdict.status();
    }

    // What a plain pipe run prints when the input ends after the first k lines.
    const std::string& outputEndingAfter(std::size_t k) {
        if (pipeOutputs.count(k) == 0) {
            std::string input;
            for (std::size_t i = 0; i < k; ++i) {
                input += lines[i];
            }
            const RunResult result =
                runOnInput(launch, input, options.timeoutSeconds, &pipeOutputs[k]);
            if (!result.endedWell()) {
                verdict.fail("through a pipe, with the input ending after " + typedCount(k) + ": " +
                             launch.argv[0] + " " + result.describe(options.timeoutSeconds));
            }
        }
        return pipeOutputs[k];
    }

    // Whether the first `length` bytes of the text end with a wait text.
    bool endsWithWaitText(const std::string& text, std::size_t length) const {
        return std::any_of(waitTexts.begin(), waitTexts.end(), [&](const std::string& wait) {
            return length >= wait.size() &&
                   text.compare(length - wait.size(), wait.size(), wait) == 0;
        });
    }

    // The screen at wait k must be how the expected output begins, and end
    // with the prompt being answered.  After an unended line the program is
    // in the middle of that line and answers no prompt.
    void checkWait(const TypedRun& whole, std::size_t k) {
        const std::string& screen = whole.screens[k];
        const std::string where = "at wait " + std::to_string(k) + " (" + typedCount(k) + ")";
        const bool midLine = k > 0 && lines[k - 1].back() != '\n';
        const std::string tail =
            screen.substr(screen.size() - std::min<std::size_t>(60, screen.size()));
        if (!expected.beginsWith(screen)) {
            verdict.fail(where +
                         ": the screen is not how the expected output begins:\n--- screen\n" +
                         visible(screen));
        } else if (!midLine && !endsWithWaitText(screen, screen.size())) {
            verdict.fail(where + ": the prompt being answered is not on screen, which " +
                         (screen.empty() ? "is empty" : "ends with:\n" + visible(tail)));
        } else if (!midLine && k > 0 && !expected.pattern) {
            checkAnswerShown(whole, k, where);
        }
    }

    // A screen can end in a prompt and still lag behind: an old prompt, with
    // the answers to the line just typed not yet written.  The pipe runs show
    // what the line did: when the input ending after line k prints something
    // other than the input ending before it, line k was taken in; the output
    // it shares with the expected one, up to the first prompt past the last
    // wait, was then printed before the program waited.
    void checkAnswerShown(const TypedRun& whole, std::size_t k, const std::string& where) {
        const std::string& after = outputEndingAfter(k);
        if (after == outputEndingAfter(k - 1)) {
            return;
        }
        const std::string& text = expected.text;
        const std::size_t shared =
            std::mismatch(after.begin(), after.end(), text.begin(), text.end()).first -
            after.begin();
        std::size_t end = whole.screens[k - 1].size() + 1;
        while (end <= shared && !endsWithWaitText(text, end)) {
            ++end;
        }
        const std::size_t screen = whole.screens[k].size();
        if (end <= shared && screen < end) {
            verdict.fail(where +
                         ": the prompt being answered is not on screen; the program had answered "
                         "the line before waiting, and the screen lacks at least:\n" +
                         visible(text.substr(screen, end - screen)));
        }
    }

    void checkEnd(const TypedRun& run, const std::string& which) {
        if (run.waitedAfterEnd) {
            verdict.fail("in " + which +
                         ": the program waits for input again after the input ended");
        } else if (!run.end.endedWell()) {
            verdict.fail("in " + which + ": " + launch.argv[0] + " " +
                         run.end.describe(options.timeoutSeconds) + " after the input ended");
        }
    }

    // Ctrl-D at wait k: the program must end at once, with status 0 and all
    // that a pipe run of the same lines prints on screen.
    void checkInputEndingAt(std::size_t k) {
        const TypedRun early = typeLines(launch, lines, k, options.timeoutSeconds);
        const std::string which = "the session ended at wait " + std::to_string(k);
        checkEnd(early, which);
        if (const std::string& piped = outputEndingAfter(k); early.screen != piped) {
            verdict.fail("in " + which + ": the screen differs from what a pipe run of the same " +
                         typedCount(k) + " prints:\n--- piped\n" + visible(piped) +
                         "\n--- screen\n" + visible(early.screen));
        }
    }
};

}  // namespace

int session(const Options& options) {
    Launch launch = caseLaunch(options);
    std::vector<std::string> lines = typedLines(readFile(options.positional[1]));
    return SessionCheck{options,
                        std::move(launch),
                        std::move(lines),
                        readWaits(options.waits),
                        Expected(options.positional[2]),
                        {},
                        {}}
        .run();
}
