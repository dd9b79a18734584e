#include "Lesson.h"

#include <unistd.h>

#include <algorithm>
#include <regex>

#include "ExpectedText.h"

namespace fs = std::filesystem;

std::vector<std::string> readWaitTexts(const fs::path& path) {
    static const std::regex quotedText(R"("((?:[^"\\]|\\[nt\\"])*)\")");
    std::vector<std::string> texts;
    for (const std::string& line : splitLines(readFile(path))) {
        std::smatch found;
        if (line.empty() || line[0] == '#') {
            continue;
        } else if (!std::regex_match(line, found, quotedText)) {
            throw std::runtime_error(path.string() + ": not a double-quoted text: " + line);
        }
        std::string text = found[1];
        for (std::size_t at = 0; at < text.size(); ++at) {
            if (text[at] == '\\') {
                text.erase(at, 1);
                text[at] = text[at] == 'n' ? '\n' : text[at] == 't' ? '\t' : text[at];
            }
        }
        texts.push_back(text);
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

Launch withStoppedClock(Launch launch, const std::string& clock, const std::string& library) {
    // Without "@" before it, the time stands still at the time given.
    launch.environment.insert(launch.environment.end(),
                              {{"FAKETIME", clock}, {"TZ", "UTC"}, {"LD_PRELOAD", library}});
    return launch;
}
