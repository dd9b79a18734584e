#include "class/Class.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <list>
#include <optional>

#include "cases/ExpectedText.h"
#include "cases/Lesson.h"
#include "sandbox/Process.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

bool executableFile(const fs::path& path) {
    std::error_code none;
    return fs::is_regular_file(path, none) && access(path.c_str(), X_OK) == 0;
}

// A path as a command's first word: one without a slash would be looked
// for on PATH instead.
std::string asProgram(const fs::path& path) {
    const std::string text = path.string();
    return text.find('/') == std::string::npos ? "./" + text : text;
}

// A script by its ending, before the file's own mode: a script that is
// executable but has no #! line would be run by the shell.
std::optional<std::vector<std::string>> commandForFile(const fs::path& file) {
    std::error_code none;
    if (!fs::is_regular_file(file, none)) {
        return std::nullopt;
    } else if (file.extension() == ".py") {
        return std::vector<std::string>{"python3", file.string()};
    } else if (file.extension() == ".js") {
        return std::vector<std::string>{"node", file.string()};
    } else if (executableFile(file)) {
        return std::vector<std::string>{asProgram(file)};
    }
    return std::nullopt;
}

std::vector<std::string> commandForFolder(const fs::path& folder, const std::string& lesson) {
    if (executableFile(folder / lesson)) {
        return {asProgram(folder / lesson)};
    }
    for (const char* ending : {".py", ".js"}) {
        if (auto command = commandForFile(folder / (lesson + ending))) {
            return *command;
        }
    }
    for (const char* makefile : {"GNUmakefile", "makefile", "Makefile"}) {
        std::error_code none;
        if (fs::is_regular_file(folder / makefile, none)) {
            return {"make", "-s", "--no-print-directory", "-C", folder.string(), "run"};
        }
    }
    throw NoVersion("no version of " + lesson + " in " + folder.string() + ": no executable " +
                    lesson + ", " + lesson + ".py, " + lesson + ".js or Makefile");
}

// One version's check, running: what it writes is gathered until it ends.
struct Running {
    std::size_t index;
    pid_t pid;
    Fd record, errors;
    std::string recordText, errorsText;
};

// Starts lessons-check on the version, its record on one pipe and its
// messages on another, reading nothing.
Running startCheck(std::size_t index, const std::vector<std::string>& args) {
    auto [recordIn, recordOut] = makePipe();
    auto [errorsIn, errorsOut] = makePipe();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, recordOut.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, errorsOut.get(), 2);
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(error));
    }
    fcntl(recordIn.get(), F_SETFL, O_NONBLOCK);
    fcntl(errorsIn.get(), F_SETFL, O_NONBLOCK);
    return {index, pid, std::move(recordIn), std::move(errorsIn), "", ""};
}

// Far more than a version's results hold: a version's output is cut short
// in them.
constexpr std::size_t RECORD_LIMIT = std::size_t{64} << 20;
// A check's own messages: a line or two.
constexpr std::size_t ERRORS_KEPT_BY_CLASS = 16384;

// Waits up to a tenth of a second for any check to write, and reads it.
void gather(std::list<Running>& running) {
    std::vector<pollfd> ready;
    for (const Running& check : running) {
        ready.push_back({check.record.get(), POLLIN, 0});
        ready.push_back({check.errors.get(), POLLIN, 0});
    }
    poll(ready.data(), ready.size(), 100);
    for (Running& check : running) {
        drainInto(check.record.get(), check.recordText, RECORD_LIMIT);
        drainInto(check.errors.get(), check.errorsText, ERRORS_KEPT_BY_CLASS);
    }
}

// What went wrong with a check that handed back no record: its own words.
std::string whyNoRecord(int waitStatus, const std::string& errors) {
    std::string why = splitLines(errors).empty() ? "" : splitLines(errors).front();
    const std::string prefix = "lessons-check: ";
    if (why.rfind(prefix, 0) == 0) {
        why.erase(0, prefix.size());
    }
    if (WIFSIGNALED(waitStatus)) {
        return "the check was killed by signal " + std::to_string(WTERMSIG(waitStatus)) +
               (why.empty() ? "" : ": " + why);
    }
    return why.empty() ? "the check ended with status " +
                             std::to_string(WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1)
                       : why;
}

VersionResult resultOf(const Running& check, int waitStatus) {
    VersionResult version;
    try {
        version = readVersionJson(check.recordText);
    } catch (const std::exception&) {
        version.error = whyNoRecord(waitStatus, check.errorsText);
    }
    return version;
}

// Runs the checks, `jobs` at a time, and hands each result on in the
// versions' order, as soon as those before it are in.
class Runner {
public:
    Runner(const ClassCheck& check, ClassReport& report) : check(check), report(report) {
        results.resize(check.versions.size());
    }

    void runAll() {
        while (next < check.versions.size() || !running.empty()) {
            while (running.size() < check.jobs && next < check.versions.size()) {
                startNext();
            }
            showInOrder();
            gather(running);
            collectEnded();
        }
        showInOrder();
    }

    // What the checks wrote to standard error besides their records, each
    // line once: a warning every check gives is one warning.
    const std::vector<std::string>& messages() const { return messageLines; }

private:
    void startNext() {
        const std::size_t index = next++;
        try {
            std::vector<std::string> args = {self.string()};
            args.insert(args.end(), check.options.begin(), check.options.end());
            args.insert(args.end(), {"--format", "json", "--", check.lesson});
            const std::vector<std::string> command =
                commandFor(check.versions[index], check.lesson);
            args.insert(args.end(), command.begin(), command.end());
            running.push_back(startCheck(index, args));
        } catch (const NoVersion& error) {
            results[index] = VersionResult{};
            results[index]->error = error.what();
        }
    }

    void collectEnded() {
        for (auto check = running.begin(); check != running.end();) {
            int status = 0;
            if (waitpid(check->pid, &status, WNOHANG) != check->pid) {
                ++check;
                continue;
            }
            drainInto(check->record.get(), check->recordText, RECORD_LIMIT);
            drainInto(check->errors.get(), check->errorsText, ERRORS_KEPT_BY_CLASS);
            results[check->index] = resultOf(*check, status);
            if (results[check->index]->error.empty()) {
                keepMessages(check->errorsText);
            }
            check = running.erase(check);
        }
    }

    void keepMessages(const std::string& errors) {
        for (const std::string& line : splitLines(errors)) {
            if (std::find(messageLines.begin(), messageLines.end(), line) == messageLines.end()) {
                messageLines.push_back(line);
            }
        }
    }

    void showInOrder() {
        for (; shown < results.size() && results[shown]; ++shown) {
            VersionResult& version = *results[shown];
            version.name = check.versions[shown];
            version.lesson = check.lesson;
            if (version.caseCount == 0) {
                // Not checked: it scores 0 out of the lesson's points all the same.
                version.caseCount = lesson.cases.size();
                version.outOf = static_cast<unsigned>(lesson.cases.size());
            }
            report.add(version);
        }
    }

    const ClassCheck& check;
    ClassReport& report;
    const fs::path self = fs::read_symlink("/proc/self/exe");
    const Lesson lesson = readLesson(casesFolder() / check.lesson);
    std::vector<std::optional<VersionResult>> results;
    std::list<Running> running;
    std::size_t next = 0, shown = 0;
    std::vector<std::string> messageLines;
};

}  // namespace

std::vector<std::string> commandFor(const std::string& version, const std::string& lesson) {
    std::error_code none;
    if (fs::is_directory(version, none)) {
        return commandForFolder(version, lesson);
    } else if (auto command = commandForFile(version)) {
        return *command;
    }
    throw NoVersion(fs::exists(version, none)
                        ? version + " is not executable, nor a .py or .js script"
                        : "no such file or folder: " + version);
}

unsigned defaultJobs() {
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    return processors > 0 ? static_cast<unsigned>(processors) : 1;
}

int checkClass(const ClassCheck& check) {
    const std::unique_ptr<ClassReport> report = classReport(check.format, std::cout);
    report->begin(check.lesson, check.versions);
    Runner runner(check, *report);
    runner.runAll();
    const int status = report->finish();
    for (const std::string& line : runner.messages()) {
        std::cerr << line << "\n";
    }
    return status;
}
