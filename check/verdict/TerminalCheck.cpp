// The checks of a case typed at a terminal (terminal/Session.h types the
// lines): where the lesson's own program waits, learned from its output;
// then what a person would see of a version, at every wait, at the end,
// and when the input ends early, compared with what they would see of the
// lesson's own program.
#include <algorithm>

#include "cases/ExpectedText.h"
#include "verdict/CaseCheck.h"

namespace {

// More than a terminal holds of a line before its newline.
constexpr std::size_t TYPABLE_LINE = 4095;

// "before anything was typed", or "after typing "3\n" (line 2)"
std::string typedSoFar(const std::vector<std::string>& lines, std::size_t k) {
    return k == 0 ? "before anything was typed"
                  : "after typing " + quoted(lines[k - 1]) +
                        (k > 1 ? " (line " + std::to_string(k) + ")" : "");
}

// The last bytes of a text, to show where it stands.
std::string endOf(const std::string& text) {
    const std::size_t shown = std::min<std::size_t>(60, text.size());
    return (shown < text.size() ? "..." : "") + quoted(text.substr(text.size() - shown));
}

// The wait text that the first `length` bytes of the text end with, or null.
const std::string* waitTextEnding(const std::vector<std::string>& waitTexts,
                                  const std::string& text, std::size_t length) {
    for (const std::string& wait : waitTexts) {
        if (length >= wait.size() && text.compare(length - wait.size(), wait.size(), wait) == 0) {
            return &wait;
        }
    }
    return nullptr;
}

Problem problemSaying(const std::string& what, const std::string& key) {
    Problem problem;
    problem.what = what;
    problem.key = key;
    return problem;
}

// The end of a run typed at: it must end of itself once the input ended,
// with status 0.
void checkEnd(Problems& problems, const TypedRun& run, const std::vector<std::string>& lines,
              std::size_t k, double timeoutSeconds) {
    const std::string where = "at a terminal, when the input ended " + typedSoFar(lines, k) + ", ";
    if (run.waitedAfterEnd) {
        problems.add(problemSaying(where + "the program waited for input again instead of ending",
                                   "terminal-waits-again"));
    } else if (!run.end.endedWell()) {
        problems.add(problemSaying(where + "the program " + run.end.describe(timeoutSeconds),
                                   "terminal-end|" + run.end.describe(timeoutSeconds)));
    }
}

// Learning where the lesson's own program waits, and holding it to its own
// case as the project's tests do.
class Learning {
public:
    Learning(const std::vector<std::string>& lines, const Expected& expected,
             const std::vector<std::string>& waitTexts)
        : lines(lines), expected(expected), waitTexts(waitTexts) {}

    Problems learn(Program& lesson, double timeoutSeconds, LessonWaits& learned) {
        Typing typing;
        typing.echo = false;
        typing.outputLimit = expected.text.size() + (std::size_t{64} << 10);
        const TypedRun run = typeLines(lesson, lines, lines.size(), timeoutSeconds, typing);
        for (std::size_t k = 0; k < run.at.size() && problems.none(); ++k) {
            checkWait(run.at[k], k);
            learned.at.push_back(expected.positionAfter(run.at[k]));
        }
        checkEnd(problems, run, lines, lines.size(), timeoutSeconds);
        if (std::vector<DifferingLine> differ = expected.differences(run.output, true);
            !differ.empty()) {
            Problem differs = problemSaying(
                "at a terminal, once all was typed, the output differs "
                "from the case's",
                "terminal-output");
            differs.lines = std::move(differ);
            problems.add(differs);
        }
        if (!problems.none()) {
            problems.found.front().errors = run.errors;
        }
        return problems;
    }

private:
    // The screen at a wait must be how the expected output begins, and end
    // with the prompt being answered.  After an unended line the program is
    // in the middle of that line and answers no prompt.
    void checkWait(const std::string& screen, std::size_t k) {
        const bool midLine = k > 0 && lines[k - 1].back() != '\n';
        if (std::vector<DifferingLine> differ = expected.differences(screen, false);
            !differ.empty()) {
            Problem differs = problemSaying("at a terminal, " + typedSoFar(lines, k) +
                                                ", the program waited for input with the screen "
                                                "other than how the expected output begins",
                                            "terminal-start");
            differs.lines = std::move(differ);
            problems.add(differs);
        } else if (!midLine && waitTextEnding(waitTexts, screen, screen.size()) == nullptr) {
            promptMissing(k, screen);
        }
    }

    // The program waited with what it shows of the expected output on
    // screen, and the prompt being answered was not among it: names the
    // next prompt of the expected output, and what the screen lacked of it.
    void promptMissing(std::size_t k, const std::string& screen) {
        const std::string& text = expected.text;
        std::size_t end = screen.size() + 1;
        while (end <= text.size() && waitTextEnding(waitTexts, text, end) == nullptr) {
            ++end;
        }
        const std::string where = "at a terminal, " + typedSoFar(lines, k) + ", ";
        if (end > text.size()) {
            Problem none = problemSaying(where +
                                             "the program waited for input, but no prompt is "
                                             "left in the expected output",
                                         "terminal-no-prompt-left");
            none.details.push_back("the screen ended: " + endOf(screen));
            problems.add(none);
            return;
        }
        const std::string& prompt = *waitTextEnding(waitTexts, text, end);
        Problem missing = problemSaying(where + "the prompt " + quoted(prompt) +
                                            " was not on screen when the program waited for input",
                                        "terminal-prompt|" + prompt);
        if (end - screen.size() > prompt.size()) {
            missing.details.push_back(
                "nor was what comes before it: " +
                endOf(text.substr(screen.size(), end - screen.size() - prompt.size())));
        }
        missing.details.push_back("the screen ended: " + endOf(screen));
        problems.add(missing);
    }

    const std::vector<std::string>& lines;
    const Expected& expected;
    const std::vector<std::string>& waitTexts;
    Problems problems;
};

// Whether a row of a version's screen is the expected row: a pattern's with
// its placeholders filled in.
bool rowFits(const std::string& actual, const std::string& expected, bool pattern) {
    return pattern && firstPlaceholder(expected) != std::string::npos
               ? matchesLine(actual, expected)
               : actual == expected;
}

// Whether the rows of one screen are how the other's begin: all but the
// last the same, the last how the other's row there begins, and less in all.
bool showsLessThan(const std::vector<std::string>& fewer, const std::vector<std::string>& more,
                   bool pattern) {
    if (fewer.empty() || fewer.size() > more.size()) {
        return fewer.empty() && !more.empty();
    }
    for (std::size_t i = 0; i + 1 < fewer.size(); ++i) {
        if (!rowFits(fewer[i], more[i], pattern)) {
            return false;
        }
    }
    const std::string& last = fewer.back();
    const std::string& there = more[fewer.size() - 1];
    return there.compare(0, last.size(), last) == 0 &&
           (fewer.size() < more.size() || last.size() < there.size());
}

// The text of the cursor's row up to the cursor, blanks included, to show
// where a screen stands.
std::string cursorRow(const Screen& screen) {
    const std::vector<std::string> rows = screen.rows();
    const Screen::Position cursor = screen.cursor();
    std::string row = cursor.row < rows.size() ? rows[cursor.row] : "";
    if (row.size() < cursor.column) {
        row.append(cursor.column - row.size(), ' ');
    }
    return row;
}

// Holds a version to the lesson's own program at a terminal.
class ScreenCheck {
public:
    ScreenCheck(VersionRuns& runs, const std::vector<std::string>& lines, const Expected& expected,
                const LessonWaits& lesson)
        : runs(runs),
          lines(lines),
          expected(expected),
          lesson(lesson),
          outputLimit(expected.text.size() + (std::size_t{64} << 10)) {}

    Problems run(bool endAtEveryWait) {
        const TypedRun whole =
            runs.typedWhole(lines, outputLimit, [&](std::size_t k, const Screen& screen) {
                if (problems.none()) {
                    checkWait(k, screen);
                }
            });
        checkEnd(problems, whole, lines, lines.size(), runs.timeoutSeconds());
        if (problems.none()) {
            checkScreen(whole.screen, screenOf(transcript(lesson.at.size(), true)),
                        "at a terminal, once all was typed, ", "terminal-end-screen");
        }
        // Once the whole session has gone wrong, ending it early tells no
        // more, nor does ending it at a later wait once it went wrong at one.
        const std::size_t waits =
            endAtEveryWait ? std::min({whole.waits, lines.size(), lesson.at.size()}) : 0;
        for (std::size_t k = 0; k < waits && problems.none(); ++k) {
            checkEndingAt(k);
        }
        return problems;
    }

private:
    // What a person sees up to wait k of the lesson's own program: the
    // expected output up to where it waits, each line typed before echoed
    // where it was typed; with `toTheEnd`, all of the expected output.
    std::string transcript(std::size_t k, bool toTheEnd) const {
        std::string text;
        std::size_t shown = 0;
        for (std::size_t j = 0; j < k && j < lesson.at.size(); ++j) {
            text += expected.text.substr(shown, lesson.at[j] - shown);
            shown = lesson.at[j];
            if (j < lines.size()) {
                text += lines[j];  // its echo: Ctrl-D, at the last wait, shows nothing
            }
        }
        if (toTheEnd) {
            text += expected.text.substr(shown);
        } else if (k < lesson.at.size()) {
            text += expected.text.substr(shown, lesson.at[k] - shown);
        }
        return text;
    }

    Screen screenOf(const std::string& text) const {
        return ::screenOf(text, SCREEN_COLUMNS, SCREEN_ROWS, SCREEN_ROWS_KEPT);
    }

    // The prompt the lesson's own program shows at wait k: its line so far.
    std::string promptAt(std::size_t k) const {
        const std::size_t at = lesson.at[k];
        const std::size_t start = expected.text.rfind('\n', at == 0 ? 0 : at - 1);
        const std::size_t from = start == std::string::npos || start >= at ? 0 : start + 1;
        return expected.text.substr(from, at - from);
    }

    bool sameScreen(const Screen& actual, const Screen& wanted) const {
        const std::vector<std::string> rows = actual.rows(), wantedRows = wanted.rows();
        if (rows.size() != wantedRows.size()) {
            return false;
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (!rowFits(rows[i], wantedRows[i], expected.pattern)) {
                return false;
            }
        }
        const Screen::Position at = actual.cursor(), wantedAt = wanted.cursor();
        // A pattern's row is as wide as what its placeholders stand for.
        const bool patterned = expected.pattern && wantedAt.row < wantedRows.size() &&
                               firstPlaceholder(wantedRows[wantedAt.row]) != std::string::npos;
        return at.row == wantedAt.row && (at.column == wantedAt.column || patterned);
    }

    // At wait k the version must show what the lesson's own program shows
    // there.
    void checkWait(std::size_t k, const Screen& actual) {
        const std::string where = "at a terminal, " + typedSoFar(lines, k) + ", ";
        if (k >= lesson.at.size()) {
            Problem extra;
            extra.what = where +
                         "the program waited for input, where the lesson's program has "
                         "ended";
            extra.key = "terminal-extra-wait";
            extra.details.push_back("the screen ended: " + quoted(cursorRow(actual)));
            problems.add(extra);
            return;
        }
        const Screen wanted = screenOf(transcript(k, false));
        if (sameScreen(actual, wanted)) {
            return;
        }
        const std::vector<std::string> rows = actual.rows(), wantedRows = wanted.rows();
        const std::string prompt = promptAt(k);
        Problem problem;
        if (showsLessThan(rows, wantedRows, expected.pattern)) {
            problem.what = where + "the prompt " + quoted(prompt) +
                           " was not on screen when the program waited for input";
            problem.key = "terminal-prompt|" + prompt;
            problem.details.push_back("the screen ended: " + quoted(cursorRow(actual)));
            problem.hint = unflushedHint(k);
        } else if (showsLessThan(wantedRows, rows, expected.pattern)) {
            problem.what = where +
                           "the program waited for input at another point than the "
                           "lesson, which waits at the prompt " +
                           quoted(prompt);
            problem.key = "terminal-other-wait|" + prompt;
            problem.details.push_back("the lesson's screen ended: " + quoted(cursorRow(wanted)));
            problem.details.push_back("the screen ended:          " + quoted(cursorRow(actual)));
        } else {
            problem = screenDifference(where + "the program waited for input", actual, wanted,
                                       "terminal-wait");
        }
        problems.add(problem);
    }

    // A prompt printed, but held in the program's buffer while it waited:
    // its pipe run shows it in its place.
    std::string unflushedHint(std::size_t k) {
        std::string input;
        for (const std::string& line : lines) {
            input += line;
        }
        const std::string& piped = runs.piped(input, outputLimit).output;
        const std::size_t at = lesson.at[k];
        if (expected.pattern || piped.size() < at ||
            piped.compare(0, at, expected.text, 0, at) != 0) {
            return "";
        }
        return "the program printed it, but it was still in its output buffer when the program "
               "waited: flush it before reading (std::cout << std::flush, fflush(stdout), "
               "print(..., flush=True), System.out.flush())";
    }

    // Where two screens differ: the cursor alone, or the rows that differ.
    Problem screenDifference(const std::string& what, const Screen& actual, const Screen& wanted,
                             const std::string& key) {
        const std::vector<std::string> rows = actual.rows(), wantedRows = wanted.rows();
        Problem problem;
        problem.key = key;
        for (std::size_t i = 0;
             i < std::max(rows.size(), wantedRows.size()) && problem.lines.size() < 3; ++i) {
            const std::string got = i < rows.size() ? rows[i] : "";
            const std::string want = i < wantedRows.size() ? wantedRows[i] : "";
            if (i < rows.size() && i < wantedRows.size() && rowFits(got, want, expected.pattern)) {
                continue;
            }
            DifferingLine line = differingLine(i + 1, want, got, expected.pattern);
            line.expectedMissing = i >= wantedRows.size();
            line.actualMissing = i >= rows.size();
            line.row = true;
            problem.key += "|" + line.expected + "|" + line.actual;
            problem.lines.push_back(line);
        }
        if (problem.lines.empty()) {
            const Screen::Position at = actual.cursor(), wantedAt = wanted.cursor();
            problem.what = what + " with the cursor at row " + std::to_string(at.row + 1) +
                           ", column " + std::to_string(at.column + 1) + ", where the lesson's " +
                           "stands at row " + std::to_string(wantedAt.row + 1) + ", column " +
                           std::to_string(wantedAt.column + 1);
            problem.key = key + "|cursor|" + std::to_string(at.column) + "|" +
                          std::to_string(wantedAt.column);
            problem.details.push_back("the row: " + quoted(cursorRow(actual)));
            problem.hint =
                "a screen does not show blanks at the end of a line, but the cursor "
                "stands after them: a blank is missing or too many there";
        } else {
            problem.what = what + " with the screen other than the lesson's";
            noteStandardError(problem);
        }
        return problem;
    }

    // A terminal shows standard error among the output: where the version
    // writes there, that may be all that differs.  The pipe run of the same
    // input, already made, tells what it wrote.
    void noteStandardError(Problem& problem) {
        std::string input;
        for (const std::string& line : lines) {
            input += line;
        }
        const std::string& errors = runs.piped(input, outputLimit).errors;
        if (!errors.empty()) {
            problem.errors = errors;
            problem.hint =
                "what the program writes to standard error is on the screen too, among its "
                "output; the lesson writes nothing there";
        }
    }

    void checkScreen(const Screen& actual, const Screen& wanted, const std::string& where,
                     const std::string& key) {
        if (!sameScreen(actual, wanted)) {
            problems.add(screenDifference(where + "the program ended", actual, wanted, key));
        }
    }

    // Ctrl-D at wait k: the program must end at once, with status 0, and
    // show what the lesson shows up to there, then what a pipe run of the
    // same lines prints after it.
    void checkEndingAt(std::size_t k) {
        const TypedRun& early = runs.endedAt(lines, k, outputLimit);
        checkEnd(problems, early, lines, k, runs.timeoutSeconds());
        if (!problems.none()) {
            return;
        }
        std::string input;
        for (std::size_t i = 0; i < k; ++i) {
            input += lines[i];
        }
        const VersionRuns::Piped& piped = runs.piped(input, outputLimit);
        const std::size_t at = lesson.at[k];
        const Expected upToWait(expected.text.substr(0, at), expected.pattern);
        const std::size_t shown = lengthShowing(piped.output, at);
        if (std::vector<DifferingLine> differ =
                upToWait.differences(piped.output.substr(0, shown), false);
            !differ.empty() || shown > piped.output.size()) {
            Problem problem;
            problem.what = "through a pipe, with the input ending " + typedSoFar(lines, k) +
                           ", the output differs from the case's up to where the lesson waits "
                           "there";
            problem.key = "pipe-early";
            problem.lines = std::move(differ);
            problem.errors = piped.errors;
            problems.add(problem);
            return;
        }
        const Screen wanted = screenOf(transcript(k, false) + piped.output.substr(shown));
        if (!sameScreen(early.screen, wanted)) {
            Problem problem = screenDifference("at a terminal, when the input ended " +
                                                   typedSoFar(lines, k) + ", the program ended",
                                               early.screen, wanted, "terminal-early");
            problem.what +=
                ": a pipe run of the same input prints what the lesson's screen "
                "shows there";
            problems.add(problem);
        }
    }

    // How much of an output stands for the expected text up to `at`: as
    // many bytes for a .out; for a .match, as many whole lines and as many
    // bytes of the next.
    std::size_t lengthShowing(const std::string& output, std::size_t at) const {
        if (!expected.pattern) {
            return at;
        }
        const std::string upTo = expected.text.substr(0, at);
        const std::size_t wholeLines =
            static_cast<std::size_t>(std::count(upTo.begin(), upTo.end(), '\n'));
        std::size_t length = 0;
        for (std::size_t line = 0; line < wholeLines; ++line) {
            const std::size_t end = output.find('\n', length);
            if (end == std::string::npos) {
                return output.size() + 1;
            }
            length = end + 1;
        }
        return length + (at - (upTo.rfind('\n') == std::string::npos ? 0 : upTo.rfind('\n') + 1));
    }

    VersionRuns& runs;
    const std::vector<std::string>& lines;
    const Expected& expected;
    const LessonWaits& lesson;
    const std::size_t outputLimit;
    Problems problems;
};

}  // namespace

std::vector<std::string> typedLines(const std::string& input) {
    std::vector<std::string> lines = linesWithEnds(input);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string text = lines[i].substr(0, lines[i].find('\n'));
        const auto control = std::find_if(text.begin(), text.end(), [](unsigned char c) {
            return (c < 32 && c != '\t') || c == 127;
        });
        if (control != text.end() || text.size() > TYPABLE_LINE) {
            throw NotTypable{
                "line " + std::to_string(i + 1) +
                (control != text.end()
                     ? " holds the control byte " + quoted(std::string(1, *control)) +
                           ", which a terminal acts on, or shows as ^X when it echoes it"
                     : " has " + std::to_string(text.size()) +
                           " bytes, more than a terminal holds of a line")};
        }
    }
    return lines;
}

Problems learnWaits(Program& lesson, const std::vector<std::string>& lines,
                    const Expected& expected, const std::vector<std::string>& waitTexts,
                    double timeoutSeconds, LessonWaits& learned) {
    return Learning(lines, expected, waitTexts).learn(lesson, timeoutSeconds, learned);
}

Problems checkAtTerminal(VersionRuns& runs, const std::vector<std::string>& lines,
                         const Expected& expected, const LessonWaits& lesson, bool endAtEveryWait) {
    return ScreenCheck(runs, lines, expected, lesson).run(endAtEveryWait);
}
