#include "class/Class.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <list>
#include <optional>
#include <thread>

#include "cases/Expected.h"
#include "cases/ExpectedText.h"
#include "sandbox/Process.h"

namespace fs = std::filesystem;

namespace {

// One version's check, running: its record and its messages are gathered
// until it ends.
struct Running {
    std::size_t index;
    pid_t pid;
    Fd record, errors;
    std::string recordText, errorsText;
};

// Far more than a record holds: a version's output is cut short in it.
constexpr std::size_t RECORD_LIMIT = std::size_t{16} << 20;
// A check's own messages: a line or two.
constexpr std::size_t ERRORS_KEPT_BY_CLASS = 16384;

// Set by Ctrl-C (SIGINT) or SIGTERM: the class check ends what runs, and
// reports what has finished.
volatile sig_atomic_t interrupted = 0;

void interrupt(int) {
    interrupted = 1;
}

// In the forked check of one version: everything it finds goes into the
// record; its standard output is nobody's, its messages go to the class.
[[noreturn]] void checkOneVersion(const ClassCheck& check, const Lesson& lesson,
                                  LessonsOwn& lessonsOwn, std::size_t index, int record, int errors,
                                  pid_t classCheck) {
    // Asked to end, it ends its run first, with every process of it; when
    // the class check itself ends, so does it, and its sandbox with it.
    endRunsOnInterrupt();
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != classCheck) {
        _exit(1);  // the class check ended as this one began
    }
    const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
    dup2(nothing, 0);
    dup2(nothing, 1);
    dup2(errors, 2);
    VersionResult result;
    result.lesson = lesson.name;
    result.caseCount = lesson.cases.size();
    result.outOf = lesson.points();
    const std::string& version = check.versions[index];
    try {
        const std::unique_ptr<Confinement> confinement =
            Confinement::forVersion(version, lesson.name, check.plan);
        checkHandIn(lesson, lessonsOwn, *confinement, check.settings, result,
                    [](const CaseResult&) {});
    } catch (const std::exception& error) {
        result.error = error.what();
    }
    // Before the record: a hidden case's input, output and problems never
    // leave this process.
    for (CaseResult& each : result.cases) {
        markResult(lesson, each);
    }
    const std::string text = versionJson(result);
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t count = write(record, text.data() + done, text.size() - done);
        if (count <= 0) {
            break;
        }
        done += static_cast<std::size_t>(count);
    }
    _exit(0);
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

// Runs the checks, `jobs` at a time, and hands each result on in the
// versions' order, as soon as those before it are in.
class ClassRunner {
public:
    ClassRunner(const ClassCheck& check, ClassReport& report)
        : check(check), report(report), lesson(check.lesson), lessonsOwn(lesson, check.settings) {
        results.resize(check.versions.size());
        // Learned once here, where each forked check finds it.
        lessonsOwn.learnAll();
    }

    void runAll() {
        while ((next < check.versions.size() || !running.empty()) && !interrupted) {
            while (running.size() < check.jobs && next < check.versions.size()) {
                startNext();
            }
            showInOrder();
            gather();
            collectEnded();
            showProgress();
        }
        if (interrupted) {
            endRunning();
        }
        showInOrder();
        if (progressShown) {
            std::cerr << "\r\x1b[K" << std::flush;
        }
    }

    // Each check still running is asked to end its run; one that has not
    // in a few seconds is killed.
    void endRunning() {
        for (Running& child : running) {
            kill(child.pid, SIGTERM);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        for (Running& child : running) {
            while (waitpid(child.pid, nullptr, WNOHANG) == 0) {
                if (std::chrono::steady_clock::now() > deadline) {
                    kill(child.pid, SIGKILL);
                    waitpid(child.pid, nullptr, 0);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        running.clear();
    }

    // What the checks said besides their records, each line once and
    // escaped: a note every check gives is one note.
    const std::vector<std::string>& messages() const { return messageLines; }

private:
    void startNext() {
        const std::size_t index = next++;
        auto [recordIn, recordOut] = makePipe();
        auto [errorsIn, errorsOut] = makePipe();
        std::cout.flush();
        std::cerr.flush();
        const pid_t classCheck = getpid();
        const pid_t pid = fork();
        if (pid < 0) {
            throw std::runtime_error(std::string("cannot fork: ") + std::strerror(errno));
        } else if (pid == 0) {
            for (Running& other : running) {
                other.record = Fd();
                other.errors = Fd();
            }
            checkOneVersion(check, lesson, lessonsOwn, index, recordOut.get(), errorsOut.get(),
                            classCheck);
        }
        fcntl(recordIn.get(), F_SETFL, O_NONBLOCK);
        fcntl(errorsIn.get(), F_SETFL, O_NONBLOCK);
        running.push_back({index, pid, std::move(recordIn), std::move(errorsIn), "", ""});
    }

    // Waits up to a tenth of a second for any check to write, and reads it.
    void gather() {
        std::vector<pollfd> ready;
        for (const Running& child : running) {
            ready.push_back({child.record.get(), POLLIN, 0});
            ready.push_back({child.errors.get(), POLLIN, 0});
        }
        poll(ready.data(), ready.size(), 100);
        // A descriptor at its end is closed, as poll would find it ready
        // at every call; an Fd of -1 is skipped by poll and read.
        for (Running& child : running) {
            if (!drainInto(child.record.get(), child.recordText, RECORD_LIMIT)) {
                child.record = Fd();
            }
            if (!drainInto(child.errors.get(), child.errorsText, ERRORS_KEPT_BY_CLASS)) {
                child.errors = Fd();
            }
        }
    }

    void collectEnded() {
        for (auto child = running.begin(); child != running.end();) {
            int status = 0;
            if (waitpid(child->pid, &status, WNOHANG) != child->pid) {
                ++child;
                continue;
            }
            drainInto(child->record.get(), child->recordText, RECORD_LIMIT);
            drainInto(child->errors.get(), child->errorsText, ERRORS_KEPT_BY_CLASS);
            VersionResult version;
            version.caseCount = lesson.cases.size();
            version.outOf = lesson.points();
            try {
                version = readVersionJson(child->recordText);
            } catch (const std::exception&) {
                version.error = whyNoRecord(status, child->errorsText);
            }
            failures += version.status() == Status::Pass ? 0 : 1;
            results[child->index] = std::move(version);
            keepMessages(child->errorsText);
            child = running.erase(child);
            ++done;
        }
    }

    void keepMessages(const std::string& errors) {
        for (const std::string& line : splitLines(errors)) {
            const bool plain =
                std::all_of(line.begin(), line.end(), [](char c) { return c >= ' ' && c < 127; });
            const std::string shown = plain ? line : quoted(line);
            if (std::find(messageLines.begin(), messageLines.end(), shown) == messageLines.end()) {
                messageLines.push_back(shown);
            }
        }
    }

    void showInOrder() {
        for (; shown < results.size() && results[shown]; ++shown) {
            results[shown]->name = check.versions[shown];
            results[shown]->lesson = lesson.name;
            report.add(*results[shown]);
        }
    }

    // At a terminal, a line that counts the versions done and failed.
    void showProgress() {
        if (!isatty(2)) {
            return;
        }
        std::cerr << "\r\x1b[K" << done << " of " << check.versions.size() << " versions checked, "
                  << failures << " failed" << std::flush;
        progressShown = true;
    }

    const ClassCheck& check;
    ClassReport& report;
    const Lesson lesson;
    LessonsOwn lessonsOwn;
    std::vector<std::optional<VersionResult>> results;
    std::list<Running> running;
    std::size_t next = 0, shown = 0, done = 0, failures = 0;
    std::vector<std::string> messageLines;
    bool progressShown = false;
};

}  // namespace

unsigned defaultJobs() {
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    return processors > 0 ? static_cast<unsigned>(processors + (processors + 1) / 2) : 2;
}

int checkClass(const ClassCheck& check, ClassReport& report) {
    struct sigaction stop {};
    stop.sa_handler = interrupt;
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    report.begin(check.lesson.name, check.versions);
    ClassRunner runner(check, report);
    runner.runAll();
    if (interrupted) {
        report.interrupted();
    }
    const int status = interrupted ? 128 + SIGINT : report.finish();
    for (const std::string& line : runner.messages()) {
        std::cerr << line << "\n";
    }
    return status;
}

std::vector<std::string> shard(const std::vector<std::string>& versions, unsigned k, unsigned n) {
    const std::size_t count = versions.size();
    const auto from = static_cast<std::ptrdiff_t>(count * (k - 1) / n);
    const auto to = static_cast<std::ptrdiff_t>(count * k / n);
    return {versions.begin() + from, versions.begin() + to};
}

namespace {

ClassResults readShard(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw UnmergeableShards(file + ": " + std::strerror(errno));
    }
    try {
        const ClassResults results = readClassJson(
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
        if (results.interrupted) {
            throw UnreadableJson("its check was interrupted: check that shard again");
        }
        return results;
    } catch (const UnreadableJson& error) {
        throw UnmergeableShards(file + ": " + error.what());
    }
}

}  // namespace

int mergeShards(const std::vector<std::string>& files, ClassReport& report) {
    if (files.empty()) {
        throw UnmergeableShards("no shards to merge");
    }
    std::vector<ClassResults> shards;
    std::vector<std::string> names;
    for (const std::string& file : files) {
        shards.push_back(readShard(file));
        if (shards.back().lesson != shards.front().lesson) {
            throw UnmergeableShards(file + " is of the lesson " + ::quoted(shards.back().lesson) +
                                    ", " + files.front() + " of " +
                                    ::quoted(shards.front().lesson));
        }
        for (const VersionResult& version : shards.back().versions) {
            names.push_back(version.name);
        }
    }
    report.begin(shards.front().lesson, names);
    for (const ClassResults& results : shards) {
        for (const VersionResult& version : results.versions) {
            report.add(version);
        }
    }
    return report.finish();
}
