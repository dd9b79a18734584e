#include "cases/Lesson.h"

#include <unistd.h>

#include <algorithm>
#include <optional>
#include <sstream>

#include "cases/ExpectedText.h"

namespace fs = std::filesystem;

namespace {

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

}  // namespace

std::vector<std::string> readWaitTexts(const fs::path& path) {
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

namespace {

bool byName(const Case& a, const Case& b) {
    return a.name < b.name;
}

// The cases of one folder, in name order: each input with its expected
// output beside it.
std::vector<Case> casesIn(const fs::path& folder, bool hidden) {
    std::vector<Case> cases;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const fs::path& input = entry.path();
        if (input.extension() != ".in") {
            continue;
        }
        fs::path expected = fs::path(input).replace_extension(".out");
        if (!fs::exists(expected)) {
            expected.replace_extension(".match");
        }
        if (!fs::exists(expected)) {
            throw std::runtime_error(input.string() + " has no .out or .match file beside it");
        }
        cases.push_back({input.stem().string(), input, expected, 1, hidden});
    }
    std::sort(cases.begin(), cases.end(), byName);
    return cases;
}

// A number of points as a points file gives it, or nothing.
std::optional<unsigned> pointsIn(const std::string& word) {
    if (word.empty() || word.size() > 4 ||
        word.find_first_not_of("0123456789") != std::string::npos || std::stoul(word) > 1000) {
        return std::nullopt;
    }
    return static_cast<unsigned>(std::stoul(word));
}

// Gives the folder's cases the points its points file names.
void readPoints(const fs::path& file, std::vector<Case>& cases) {
    std::vector<std::string> named;
    for (const std::string& line : splitLines(readFile(file))) {
        std::istringstream words(line);
        std::string name, points, more;
        if (!(words >> name) || name[0] == '#') {
            continue;
        }
        words >> points >> more;
        const std::optional<unsigned> worth = pointsIn(points);
        const auto found = std::find_if(cases.begin(), cases.end(),
                                        [&](const Case& each) { return each.name == name; });
        if (!worth || !more.empty() || found == cases.end() ||
            std::find(named.begin(), named.end(), name) != named.end()) {
            throw std::runtime_error(file.string() + ": not \"<case> <points>\" for a case of " +
                                     "its folder, once, with 0 to 1000 points: " + line);
        }
        named.push_back(name);
        found->points = *worth;
    }
}

std::vector<Case> casesWithPoints(const fs::path& folder, bool hidden) {
    std::vector<Case> cases = casesIn(folder, hidden);
    if (fs::exists(folder / "points")) {
        readPoints(folder / "points", cases);
    }
    return cases;
}

// An expected output without its input is a case misnamed: it would
// never be run.
void requireInputs(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const fs::path& path = entry.path();
        const bool expected = path.extension() == ".out" || path.extension() == ".match";
        if (expected && !fs::exists(fs::path(path).replace_extension(".in"))) {
            throw std::runtime_error(path.string() + " has no .in file beside it");
        }
    }
}

}  // namespace

unsigned Lesson::points() const {
    unsigned total = 0;
    for (const Case& each : cases) {
        total += each.points;
    }
    return total;
}

const Case* Lesson::find(const std::string& caseName) const {
    const auto found = std::find_if(cases.begin(), cases.end(),
                                    [&](const Case& each) { return each.name == caseName; });
    return found == cases.end() ? nullptr : &*found;
}

Lesson readLesson(const fs::path& folder) {
    Lesson lesson;
    lesson.name = folder.filename().string();
    lesson.cases = casesWithPoints(folder, false);
    if (fs::exists(folder / "waits")) {
        lesson.waitTexts = readWaitTexts(folder / "waits");
    }
    if (fs::exists(folder / "clock")) {
        const std::vector<std::string> lines = splitLines(readFile(folder / "clock"));
        lesson.clock = lines.empty() ? "" : lines.front();
    }
    return lesson;
}

std::vector<Case> readInstructorsCases(const fs::path& folder) {
    if (!fs::is_directory(folder)) {
        throw std::runtime_error(folder.string() + " is not a folder of cases");
    }
    requireInputs(folder);
    std::vector<Case> cases = casesWithPoints(folder, false);
    if (fs::is_directory(folder / "hidden")) {
        requireInputs(folder / "hidden");
        const std::vector<Case> hidden = casesWithPoints(folder / "hidden", true);
        cases.insert(cases.end(), hidden.begin(), hidden.end());
    }
    if (cases.empty()) {
        throw std::runtime_error(folder.string() + " holds no case (<case>.in beside <case>.out " +
                                 "or <case>.match), nor has hidden/ one");
    }
    return cases;
}

Lesson withCases(Lesson lesson, const std::vector<Case>& added, bool replacing) {
    if (replacing) {
        lesson.cases.clear();
    }
    for (const Case& each : added) {
        if (const Case* same = lesson.find(each.name)) {
            throw std::runtime_error(each.input.string() + " has the name of " +
                                     same->input.string() + ": name one of them otherwise");
        }
        lesson.cases.push_back(each);
    }
    return lesson;
}

void markResult(const Lesson& lesson, CaseResult& result) {
    if (const Case* found = lesson.find(result.name)) {
        result.points = found->points;
        result.hidden = found->hidden;
    }
}

fs::path casesFolder() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return self.parent_path().parent_path() / "share" / "console-lessons" / "cases";
}

std::string faketimeLibrary() {
    for (const char* folder :
         {"/usr/lib/" LESSONS_MULTIARCH "/faketime", "/usr/lib/faketime", "/usr/lib64/faketime"}) {
        const fs::path library = fs::path(folder) / "libfaketime.so.1";
        if (fs::exists(library)) {
            return library.string();
        }
    }
    return "";
}

void stopClock(RunRequest& request, const std::string& clock, const std::string& library) {
    // Without "@" before it, the time stands still at the time given.
    auto& environment = request.environment;
    environment.erase(std::remove_if(environment.begin(), environment.end(),
                                     [](const auto& variable) {
                                         return variable.first == "FAKETIME" ||
                                                variable.first == "TZ" ||
                                                variable.first == "LD_PRELOAD";
                                     }),
                      environment.end());
    environment.insert(environment.end(),
                       {{"FAKETIME", clock}, {"TZ", "UTC"}, {"LD_PRELOAD", library}});
}
