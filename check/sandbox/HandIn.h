// How a version handed in as a folder or a file is started: its program, a
// script by its ending, a makefile's "run" target, or its sources, built
// first in its sandbox by the system's compilers.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

// The version cannot be started: a folder without one, a file that is no
// program.  The message says what was looked for.
struct NoVersion : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct HandIn {
    // How its sources are built, inside its sandbox (empty when they are
    // not): the compiler and its fixed flags, writing into `buildFolder`.
    std::vector<std::string> build;
    // How it is started, in its folder: never a name PATH would look up,
    // never a word that could be taken for an option.
    std::vector<std::string> command;
};

// The compilers and their flags, as the manual page gives them.
constexpr const char* CXX_BUILD = "g++ -std=c++17 -O2";
constexpr const char* C_BUILD = "gcc -std=c17 -O2";

// A folder holds the lesson's program as the first of: a file named after
// the lesson that is executable (or a link), LESSON.py (run by python3),
// LESSON.js (run by node), a makefile (make runs its "run" target), then
// sources: LESSON.cpp or every .cpp file of the folder (g++), LESSON.c
// (gcc), or the .java files, one of which has a main method (javac).  A file
// is run by python3 or node by its ending, .py or .js, built by its ending,
// .cpp, .c or .java, else run as the program itself.  No link is followed
// to find it.  Throws NoVersion.
HandIn handInOf(const std::string& version, const std::string& lesson,
                const std::string& buildFolder);

// Whether a single check's command is a hand-in as a class has them: a
// lone folder, or a lone source file to build.
bool isHandIn(const std::vector<std::string>& command);

// A lone script named without a folder ("heat.py", "heat.js"), as the
// interpreter its ending names runs it; any other command as it is.  As
// with a source, the name means the file here, not a command on PATH.
std::vector<std::string> scriptRun(const std::vector<std::string>& command);

// A name as given, without the slashes a shell's */ leaves at its end.
std::filesystem::path wholePath(const std::string& version);

// The file on this machine that the command runs as the version's program,
// or "" for none (make, an interpreter's script, a program yet to be built).
std::string versionsProgram(const std::string& version, const std::vector<std::string>& command);
