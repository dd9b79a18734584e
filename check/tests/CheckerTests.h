// What the tests of lessons-check share: running it (and other commands)
// as an instructor does, the learners' versions, and scratch folders.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
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

// A learner's version, built by the project.
inline std::string learner(const std::string& name) {
    return LESSONS_LEARNERS_DIR "/" + name;
}

// A learner's version as its source, or a script.
inline std::string learnerSource(const std::string& name) {
    return LESSONS_SOURCE_DIR "/check/tests/learners/" + name;
}

// A folder made for a test (a class, a user's home) and removed after it.
struct Scratch {
    explicit Scratch(const std::string& name)
        : path(std::filesystem::temp_directory_path() /
               ("lessons-check-" + name + "-" + std::to_string(getpid()))) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~Scratch() { std::filesystem::remove_all(path); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    // A file of the folder, with its folders made; returns its path.
    std::string put(const std::string& name, const std::string& text) const {
        const std::filesystem::path file = path / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }
    // A copy of a file into the folder under the name.
    std::string copy(const std::string& from, const std::string& name) const {
        const std::filesystem::path file = path / name;
        std::filesystem::create_directories(file.parent_path());
        std::filesystem::copy_file(from, file, std::filesystem::copy_options::overwrite_existing);
        return file.string();
    }
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

#include "NoNamespaces.h"
