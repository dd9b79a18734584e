// The check of a case typed at a terminal: the screen at every wait, at the
// end, and when the input ends early (terminal/Session.h types the lines).
#include <algorithm>
#include <map>

#include "terminal/Session.h"
#include "verdict/CaseCheck.h"

namespace {

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
    TerminalCheck(Program& program, const std::string& input, const Expected& expected,
                  const std::vector<std::string>& waitTexts, Program* lesson, double timeoutSeconds)
        : program(program),
          lesson(lesson),
          lines(typedLines(input)),
          expected(expected),
          waitTexts(waitTexts),
          timeoutSeconds(timeoutSeconds) {}

    Problems run(bool endAtEveryWait) {
        if (lesson != nullptr) {
            lessonScreens = typeLines(*lesson, lines, lines.size(), timeoutSeconds).screens;
        }
        const TypedRun whole = typeLines(program, lines, lines.size(), timeoutSeconds);
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
    Program& program;
    Program* const lesson;
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
            const RunResult result =
                runPiped(*program.runner, program.request, input, timeoutSeconds, &pipeOutputs[k],
                         expected.text.size() + SCREEN_LIMIT, nullptr, 0, program.caps);
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
        const TypedRun early = typeLines(program, lines, k, timeoutSeconds);
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

Problems checkAtTerminal(Program& program, const std::string& input, const Expected& expected,
                         const std::vector<std::string>& waitTexts, Program* lesson,
                         double timeoutSeconds, bool endAtEveryWait) {
    return TerminalCheck(program, input, expected, waitTexts, lesson, timeoutSeconds)
        .run(endAtEveryWait);
}
