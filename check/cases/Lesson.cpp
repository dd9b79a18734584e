#include "cases/Lesson.h"

#include <unistd.h>

#include <algorithm>
#include <optional>

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

Lesson readLesson(const fs::path& folder) {
    Lesson lesson;
    lesson.name = folder.filename().string();
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
        lesson.cases.push_back({input.stem().string(), input, expected});
    }
    std::sort(lesson.cases.begin(), lesson.cases.end(),
              [](const Case& a, const Case& b) { return a.name < b.name; });
    if (fs::exists(folder / "waits")) {
        lesson.waitTexts = readWaitTexts(folder / "waits");
    }
    if (fs::exists(folder / "clock")) {
        const std::vector<std::string> lines = splitLines(readFile(folder / "clock"));
        lesson.clock = lines.empty() ? "" : lines.front();
    }
    return lesson;
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
