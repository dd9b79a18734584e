// What lessons-check's tests share: running a command, lessons-check
// itself among them, and scratch folders.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "sandbox/Run.h"

struct Checked {
    int status;
    std::string output;  // standard output, then standard error
};

// A command the tests run, unconfined: lessons-check itself, a compiler.
struct Command {
    Command(std::vector<std::string> argv) : argv(std::move(argv)) {}
    std::vector<std::string> argv;
    std::vector<std::pair<std::string, std::string>> environment;  // set over this process's
    unsigned long long dataLimit = 0;                              // RLIMIT_DATA, or none
};

// The command's status and output, standard error after standard output.
inline Checked checkedBy(const Command& command) {
    Setup setup;
    setup.limits.memoryBytes = command.dataLimit;
    LocalRunner runner(setup);
    RunRequest request;
    request.argv = command.argv;
    request.environment = environmentWith(command.environment);
    std::string output, errors;
    const RunResult result =
        runPiped(runner, request, "", 300, &output, std::size_t{64} << 20, &errors, 1 << 20);
    return {result.exitStatus, output + errors};
}

inline Checked outputOf(const std::vector<std::string>& command) {
    return checkedBy(Command(command));
}

inline Checked lessonsCheck(std::vector<std::string> args) {
    args.insert(args.begin(), LESSONS_CHECK);
    return outputOf(args);
}

inline std::string learner(const std::string& name) {
    return LESSONS_LEARNERS_DIR "/" + name;
}

inline std::string learnerSource(const std::string& name) {
    return LESSONS_SOURCE_DIR "/check/tests/learners/" + name;
}

// A class's folder and a user's home, made for a test and removed after it.
struct Scratch {
    explicit Scratch(const std::string& name)
        : path(std::filesystem::temp_directory_path() /
               ("lessons-check-" + name + "-" + std::to_string(getpid()))) {
        std::filesystem::create_directories(path);
    }
    ~Scratch() { std::filesystem::remove_all(path); }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    const std::filesystem::path path;
};
