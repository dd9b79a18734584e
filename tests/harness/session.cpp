// A transcript case typed at a terminal, one line each time the program
// waits, and judged at every wait as well as at the end.
#include <algorithm>
#include <iostream>
#include <optional>
#include <stdexcept>

#include "compare.h"
#include "modes.h"
#include "terminal.h"

namespace {

// A terminal in canonical mode holds at most 4095 bytes of a line.
constexpr std::size_t LONGEST_TYPED_LINE = 4094;

// The lines of a case input, each with its newline; the last may have none.
std::vector<std::string> typedLines(const std::string& input) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < input.size()) {
        auto end = input.find('\n', start);
        end = end == std::string::npos ? input.size() : end + 1;
        lines.push_back(input.substr(start, end - start));
        start = end;
    }
    return lines;
}

// Why the lines cannot be typed plainly at a terminal, or "" when they can:
// a control byte would edit the line or send a signal, a long line would be
// cut short.
std::string untypeable(const std::vector<std::string>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::size_t length = line.size() - (line.back() == '\n' ? 1 : 0);
        const std::string where = "line " + std::to_string(i + 1);
        if (length > LONGEST_TYPED_LINE) {
            return where + " has " + std::to_string(length) + " bytes";
        }
        for (std::size_t at = 0; at < length; ++at) {
            const unsigned char c = static_cast<unsigned char>(line[at]);
            if ((c < 32 && c != '\t') || c == 127) {
                return where + " holds the control byte " + visible(std::string(1, line[at]));
            }
        }
    }
    return "";
}

// The texts a screen may end with while the program waits: one C-style
// double-quoted string a line (escapes \n \t \\ \"), blank lines and lines
// starting with # ignored.
std::vector<std::string> readWaits(const fs::path& path) {
    std::vector<std::string> texts;
    const std::string content = readFile(path);
    std::size_t number = 0;
    for (std::string::size_type start = 0; start < content.size(); ++number) {
        auto end = content.find('\n', start);
        end = end == std::string::npos ? content.size() : end;
        const std::string line = content.substr(start, end - start);
        start = end + 1;
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        const std::string where = path.string() + ":" + std::to_string(number + 1);
        const auto last = line.find_last_not_of(" \t");
        if (line[first] != '"' || last == first || line[last] != '"') {
            throw std::runtime_error(where + ": not a double-quoted string");
        }
        std::string text;
        for (auto at = first + 1; at < last; ++at) {
            if (line[at] == '"') {
                throw std::runtime_error(where + ": a bare \" inside the string");
            }
            if (line[at] != '\\') {
                text += line[at];
                continue;
            }
            const char escaped = ++at < last ? line[at] : '\0';
            const std::string plain = "nt\\\"";
            const std::string meant = "\n\t\\\"";
            if (plain.find(escaped) == std::string::npos || escaped == '\0') {
                throw std::runtime_error(where + ": unknown escape");
            }
            text += meant[plain.find(escaped)];
        }
        texts.push_back(text);
    }
    if (texts.empty()) {
        throw std::runtime_error(path.string() + " lists no text");
    }
    return texts;
}

std::string typedCount(std::size_t lines) {
    return std::to_string(lines) + (lines == 1 ? " line" : " lines") + " typed";
}

class SessionCheck {
public:
    SessionCheck(const Options& options, Launch launch, std::vector<std::string> lines)
        : options(options),
          launch(std::move(launch)),
          lines(std::move(lines)),
          waitTexts(readWaits(options.waits)),
          expected(options.positional[2]),
          endedAfter(this->lines.size() + 1) {}

    int run() {
        const TypedRun whole = typeLines(launch, lines, lines.size(), options.timeoutSeconds);
        for (std::size_t k = 0; k < whole.screens.size(); ++k) {
            checkWait(whole, k);
        }
        checkEnd(whole, "the full session");
        if (const std::string difference = expected.differenceFrom(whole.screen);
            !difference.empty()) {
            fail("at the end of the full session: " + difference);
        }
        const std::size_t endedEarly =
            options.quick ? 0 : std::min(whole.screens.size(), lines.size());
        for (std::size_t k = 0; k < endedEarly; ++k) {
            checkInputEndingAt(k);
        }
        if (failures > 0) {
            std::cerr << "session failed: " << failures << " problem(s)\n";
            return 1;
        }
        std::cout << typedCount(lines.size()) << " at " << whole.screens.size()
                  << " wait(s), and the input ended at " << endedEarly
                  << " of them in runs of their own: all as expected\n";
        return 0;
    }

private:
    void fail(const std::string& problem) {
        ++failures;
        std::cerr << problem << "\n";
    }

    // What a plain pipe run prints when the input ends after the first k lines.
    const std::string& outputEndingAfter(std::size_t k) {
        if (!endedAfter[k]) {
            std::string input;
            for (std::size_t i = 0; i < k; ++i) {
                input += lines[i];
            }
            ScratchFile in("session-in");
            ScratchFile out("session-out");
            writeFile(in.path(), input);
            RunResult result = runWithFiles(launch.argv, launch.environment, in.path(), out.path(),
                                            options.timeoutSeconds);
            if (!endedWell(result)) {
                fail("through a pipe, with the input ending after " + typedCount(k) + ": " +
                     launch.argv[0] + " " + describeEnd(result, options.timeoutSeconds));
            }
            endedAfter[k] = readFile(out.path());
        }
        return *endedAfter[k];
    }

    // Whether the first `length` bytes of the text end with a wait text.
    bool endsWithWaitText(const std::string& text, std::size_t length) const {
        for (const std::string& wait : waitTexts) {
            if (length >= wait.size() &&
                text.compare(length - wait.size(), wait.size(), wait) == 0) {
                return true;
            }
        }
        return false;
    }

    // The screen at wait k must be how the expected output begins, and end
    // with the prompt being answered.  After an unended line the program is
    // in the middle of that line and answers no prompt.
    void checkWait(const TypedRun& whole, std::size_t k) {
        const std::string& screen = whole.screens[k];
        const std::string where = "at wait " + std::to_string(k) + " (" + typedCount(k) + ")";
        const bool midLine = k > 0 && lines[k - 1].back() != '\n';
        if (!expected.beginsWith(screen)) {
            fail(where + ": the screen is not how the expected output begins:\n--- screen\n" +
                 visible(screen));
        } else if (!midLine && !endsWithWaitText(screen, screen.size())) {
            const std::size_t shown = std::min<std::size_t>(60, screen.size());
            fail(where + ": the prompt being answered is not on screen, which " +
                 (screen.empty() ? "is empty"
                                 : "ends with:\n" + visible(screen.substr(screen.size() - shown))));
        } else if (!midLine && k > 0 && !expected.isPattern()) {
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
        const std::string& text = expected.text();
        const std::size_t shared =
            std::mismatch(after.begin(), after.end(), text.begin(), text.end()).first -
            after.begin();
        const std::size_t screen = whole.screens[k].size();
        for (std::size_t end = whole.screens[k - 1].size() + 1; end <= shared; ++end) {
            if (endsWithWaitText(text, end)) {
                if (screen < end) {
                    fail(where + ": the prompt being answered is not on screen; the program " +
                         "had answered the line before waiting, and the screen lacks at least:\n" +
                         visible(text.substr(screen, end - screen)));
                }
                return;
            }
        }
    }

    void checkEnd(const TypedRun& run, const std::string& which) {
        if (run.waitedAfterEnd) {
            fail("in " + which + ": the program waits for input again after the input ended");
        } else if (!endedWell(run.end)) {
            fail("in " + which + ": " + launch.argv[0] + " " +
                 describeEnd(run.end, options.timeoutSeconds) + " after the input ended");
        }
    }

    // Ctrl-D at wait k: the program must end at once, with status 0 and all
    // that a pipe run of the same lines prints on screen.
    void checkInputEndingAt(std::size_t k) {
        const TypedRun early = typeLines(launch, lines, k, options.timeoutSeconds);
        const std::string which = "the session ended at wait " + std::to_string(k);
        checkEnd(early, which);
        const std::string& piped = outputEndingAfter(k);
        if (early.screen != piped) {
            fail("in " + which + ": the screen differs from what a pipe run of the same " +
                 typedCount(k) + " prints:\n--- piped\n" + visible(piped) + "\n--- screen\n" +
                 visible(early.screen));
        }
    }

    const Options& options;
    const Launch launch;
    const std::vector<std::string> lines;
    const std::vector<std::string> waitTexts;
    const Expected expected;
    std::vector<std::optional<std::string>> endedAfter;
    int failures = 0;
};

}  // namespace

int session(const Options& options) {
    if (options.positional.size() != 3 || options.waits.empty()) {
        std::cerr << "usage: case_runner session --waits FILE [options] PROGRAM CASE.in EXPECTED\n";
        return 2;
    }
    int skipStatus = 0;
    Launch launch;
    launch.argv = {options.positional[0]};
    launch.environment = clockEnvironment(options, skipStatus);
    if (skipStatus != 0) {
        return skipStatus;
    }
    std::vector<std::string> lines = typedLines(readFile(options.positional[1]));
    if (const std::string why = untypeable(lines); !why.empty()) {
        std::cout << "skipped: this input cannot be typed plainly at a terminal: " << why << "\n";
        return SKIPPED;
    }
    return SessionCheck(options, std::move(launch), std::move(lines)).run();
}
