#include "sandbox/HandIn.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <regex>
#include <sstream>

#include "report/Escape.h"
#include "sandbox/Process.h"

namespace fs = std::filesystem;

namespace {

// The entry's own kind, never followed through a link.
fs::file_status ownStatus(const fs::path& path) {
    std::error_code none;
    return fs::symlink_status(path, none);
}

bool runnable(const fs::path& path) {
    const fs::file_status status = ownStatus(path);
    return fs::is_symlink(status) ||
           (fs::is_regular_file(status) &&
            (status.permissions() & fs::perms::owner_exec) != fs::perms::none);
}

// A name as a command's word in the version's folder.
std::string here(const fs::path& name) {
    return "./" + name.filename().string();
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> all;
    for (std::string word; in >> word;) {
        all.push_back(word);
    }
    return all;
}

// The folder's own regular files with the ending, in name order.
std::vector<fs::path> filesEndingIn(const fs::path& folder, const std::string& ending) {
    std::vector<fs::path> files;
    std::error_code none;
    for (const auto& entry : fs::directory_iterator(folder, none)) {
        if (entry.path().extension() == ending && fs::is_regular_file(ownStatus(entry.path()))) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The first part of a file, read without following a link or waiting on
// a pipe.
std::string startOf(const fs::path& file) {
    const Fd in(open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    std::string text(1 << 20, '\0');
    const ssize_t count = in.get() < 0 ? -1 : read(in.get(), text.data(), text.size());
    text.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return text;
}

HandIn compiled(const std::string& compiler, const std::vector<fs::path>& sources,
                const std::string& program, const std::vector<std::string>& after = {}) {
    HandIn handIn;
    handIn.build = words(compiler);
    handIn.build.insert(handIn.build.end(), {"-o", program});
    for (const fs::path& source : sources) {
        handIn.build.push_back(here(source));
    }
    handIn.build.insert(handIn.build.end(), after.begin(), after.end());
    handIn.command = {program};
    return handIn;
}

// javac's classes, started by the class whose file holds a main method.
std::optional<HandIn> javaHandIn(const std::vector<fs::path>& sources,
                                 const std::string& buildFolder) {
    static const std::regex main(R"(static\s+(public\s+)?void\s+main\s*\()");
    static const std::regex package(R"(^\s*package\s+([A-Za-z_][\w.]*)\s*;)");
    for (const fs::path& source : sources) {
        const std::string text = startOf(source);
        if (!std::regex_search(text, main)) {
            continue;
        }
        std::smatch named;
        const std::string className =
            (std::regex_search(text, named, package) ? named.str(1) + "." : "") +
            source.stem().string();
        HandIn handIn;
        handIn.build = {"javac", "-d", buildFolder};
        for (const fs::path& file : sources) {
            handIn.build.push_back(here(file));
        }
        handIn.command = {"java", "-cp", buildFolder, className};
        return handIn;
    }
    return std::nullopt;
}

std::optional<HandIn> handInOfFile(const fs::path& file, const std::string& lesson,
                                   const std::string& buildFolder) {
    const fs::file_status status = ownStatus(file);
    const std::string program = (fs::path(buildFolder) / lesson).string();
    if (!fs::is_regular_file(status) && !fs::is_symlink(status)) {
        return std::nullopt;
    } else if (file.extension() == ".py") {
        return HandIn{{}, {"python3", here(file)}};
    } else if (file.extension() == ".js") {
        return HandIn{{}, {"node", here(file)}};
    } else if (file.extension() == ".cpp" && fs::is_regular_file(status)) {
        return compiled(CXX_BUILD, {file}, program);
    } else if (file.extension() == ".c" && fs::is_regular_file(status)) {
        return compiled(C_BUILD, {file}, program, {"-lm"});
    } else if (file.extension() == ".java" && fs::is_regular_file(status)) {
        return javaHandIn({file}, buildFolder);
    } else if (runnable(file)) {
        return HandIn{{}, {here(file)}};
    }
    return std::nullopt;
}

std::optional<HandIn> sourcesOf(const fs::path& folder, const std::string& lesson,
                                const std::string& buildFolder) {
    const std::string program = (fs::path(buildFolder) / lesson).string();
    if (fs::is_regular_file(ownStatus(folder / (lesson + ".cpp")))) {
        return compiled(CXX_BUILD, {folder / (lesson + ".cpp")}, program);
    } else if (const auto sources = filesEndingIn(folder, ".cpp"); !sources.empty()) {
        return compiled(CXX_BUILD, sources, program);
    } else if (fs::is_regular_file(ownStatus(folder / (lesson + ".c")))) {
        return compiled(C_BUILD, {folder / (lesson + ".c")}, program, {"-lm"});
    } else if (const auto sources = filesEndingIn(folder, ".java"); !sources.empty()) {
        return javaHandIn(sources, buildFolder);
    }
    return std::nullopt;
}

HandIn handInOfFolder(const fs::path& folder, const std::string& lesson,
                      const std::string& buildFolder) {
    if (runnable(folder / lesson)) {
        return {{}, {here(lesson)}};
    }
    for (const char* ending : {".py", ".js"}) {
        if (auto handIn = handInOfFile(folder / (lesson + ending), lesson, buildFolder)) {
            return *handIn;
        }
    }
    for (const char* makefile : {"GNUmakefile", "makefile", "Makefile"}) {
        if (fs::is_regular_file(ownStatus(folder / makefile))) {
            return {{}, {"make", "-s", "--no-print-directory", "run"}};
        }
    }
    if (auto handIn = sourcesOf(folder, lesson, buildFolder)) {
        return *handIn;
    }
    throw NoVersion("no version of " + lesson + " in " + shownName(folder.string()) +
                    ": no executable " + lesson + ", " + lesson + ".py, " + lesson +
                    ".js, Makefile, or sources (.cpp, .c, .java) to build");
}

}  // namespace

fs::path wholePath(const std::string& version) {
    std::string path = version;
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

HandIn handInOf(const std::string& version, const std::string& lesson,
                const std::string& buildFolder) {
    const fs::path path = wholePath(version);
    const fs::file_status status = ownStatus(path);
    if (fs::is_symlink(status)) {
        throw NoVersion(shownName(version) +
                        " is a symbolic link: a version is checked only where it is");
    } else if (fs::is_directory(status)) {
        return handInOfFolder(path, lesson, buildFolder);
    } else if (auto handIn = handInOfFile(path, lesson, buildFolder)) {
        return *handIn;
    }
    throw NoVersion(fs::exists(status)
                        ? shownName(version) +
                              " is not executable, nor a script (.py, .js) or sources "
                              "(.cpp, .c, .java)"
                        : "no such file or folder: " + shownName(version));
}

bool isHandIn(const std::vector<std::string>& command) {
    if (command.size() != 1) {
        return false;
    }
    const fs::path path = wholePath(command[0]);
    const fs::file_status status = ownStatus(path);
    const std::string ending = path.extension().string();
    return fs::is_directory(status) || (fs::is_regular_file(status) &&
                                        (ending == ".cpp" || ending == ".c" || ending == ".java"));
}

std::vector<std::string> scriptRun(const std::vector<std::string>& command) {
    if (command.size() != 1 || command[0].find('/') != std::string::npos ||
        !fs::is_regular_file(ownStatus(command[0]))) {
        return command;
    }
    const std::string ending = fs::path(command[0]).extension().string();
    if (ending == ".py") {
        return {"python3", command[0]};
    } else if (ending == ".js") {
        return {"node", command[0]};
    }
    return command;
}

std::string versionsProgram(const std::string& version, const std::vector<std::string>& command) {
    if (command.empty() || command[0].rfind("./", 0) != 0) {
        return "";
    }
    const fs::path path = wholePath(version);
    const fs::path folder = fs::is_directory(ownStatus(path)) ? path : path.parent_path();
    return (folder / command[0].substr(2)).string();
}
