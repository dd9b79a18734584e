#include "verdict/KeptWaits.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// FNV-1a, 64 bits: the same for the same bytes in every run and build.
class Fingerprint {
public:
    Fingerprint& add(const std::string& bytes) {
        for (const char c : bytes) {
            value = (value ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
        }
        // Each part's length too, so that no two lists of parts run together.
        const std::string length = std::to_string(bytes.size()) + ";";
        for (const char c : length) {
            value = (value ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
        }
        return *this;
    }
    std::string hex() const {
        std::ostringstream text;
        text << std::hex << value;
        return text.str();
    }

private:
    unsigned long long value = 0xcbf29ce484222325ull;
};

// A file as the kernel knows it: where it is, its size and its times.
std::string identityOf(const fs::path& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return "";
    }
    std::ostringstream text;
    text << status.st_dev << ':' << status.st_ino << ':' << status.st_size << ':'
         << status.st_mtim.tv_sec << '.' << status.st_mtim.tv_nsec << ':' << status.st_ctim.tv_sec
         << '.' << status.st_ctim.tv_nsec;
    return text.str();
}

std::string contentsOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Waits that could be where the program waits: in order, within the output.
bool fitsOutput(const LessonWaits& waits, std::size_t outputSize) {
    std::size_t before = 0;
    for (const std::size_t at : waits.at) {
        if (at < before || at > outputSize) {
            return false;
        }
        before = at;
    }
    return true;
}

}  // namespace

fs::path cacheFolder() {
    const char* const cache = getenv("XDG_CACHE_HOME");
    const char* const home = getenv("HOME");
    if (cache != nullptr && cache[0] == '/') {
        return fs::path(cache) / "lessons-check";
    }
    return home != nullptr && home[0] == '/' ? fs::path(home) / ".cache/lessons-check" : fs::path();
}

KeptWaits::KeptWaits(const Lesson& lesson, const fs::path& program) {
    const std::string programIdentity = identityOf(program);
    const fs::path folder = cacheFolder();
    if (programIdentity.empty() || folder.empty()) {
        return;
    }
    Fingerprint key;
    key.add(programIdentity).add(identityOf("/proc/self/exe")).add(lesson.clock);
    for (const std::string& text : lesson.waitTexts) {
        key.add(text);
    }
    programKey = key.hex();
    // A file for each installation of the lesson and the checker, which a
    // rebuild of either replaces: two side by side do not take turns.
    std::error_code none;
    const std::string checker = fs::read_symlink("/proc/self/exe", none).string();
    file = folder / ("waits-" + lesson.name + "-" +
                     Fingerprint().add(fs::absolute(program).string()).add(checker).hex());
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line) || line != programKey) {
        return;  // learned with another program, or not at all
    }
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string caseKey;
        LessonWaits waits;
        words >> caseKey;
        for (std::size_t at; words >> at;) {
            waits.at.push_back(at);
        }
        known[caseKey] = waits;
    }
}

std::string KeptWaits::keyOf(const Case& lessonCase) const {
    return Fingerprint()
        .add(contentsOf(lessonCase.input))
        .add(contentsOf(lessonCase.expected))
        .add(lessonCase.expected.extension().string())
        .hex();
}

bool KeptWaits::find(const Case& lessonCase, LessonWaits& waits) const {
    if (known.empty()) {
        return false;
    }
    const auto kept = known.find(keyOf(lessonCase));
    std::error_code none;
    const auto outputSize = fs::file_size(lessonCase.expected, none);
    if (kept == known.end() || none || !fitsOutput(kept->second, outputSize)) {
        return false;
    }
    waits = kept->second;
    return true;
}

void KeptWaits::keep(const Case& lessonCase, const LessonWaits& waits) {
    if (!programKey.empty()) {
        known[keyOf(lessonCase)] = waits;
        changed = true;
    }
}

void KeptWaits::save() {
    if (!changed) {
        return;
    }
    changed = false;
    std::error_code none;
    fs::create_directories(file.parent_path(), none);
    const fs::path written = file.string() + "." + std::to_string(getpid());
    {
        std::ofstream out(written, std::ios::trunc);
        out << programKey << '\n';
        for (const auto& [caseKey, waits] : known) {
            out << caseKey;
            for (const std::size_t at : waits.at) {
                out << ' ' << at;
            }
            out << '\n';
        }
        if (!out.flush()) {
            fs::remove(written, none);
            return;  // nothing kept: the next check learns again
        }
    }
    fs::rename(written, file, none);
    if (none) {
        fs::remove(written, none);
    }
}
