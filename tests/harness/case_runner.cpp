// Runs a console program on prepared standard input and judges the run.
//
//   case_runner transcript [--timeout S] [--wrapper "CMD ARGS"]
//                          [--clock TIME --clock-library LIBFAKETIME] PROGRAM CASE.in EXPECTED
//       Feeds CASE.in to PROGRAM and compares its standard output with
//       EXPECTED.  A .out file must match byte for byte.  A .match file is
//       compared line by line, and a line may hold placeholders for values
//       that change from run to run:
//           @ADDR@  a pointer as a stream prints it (0x1f2e or 0)
//           @INT@   a decimal integer
//       Every occurrence of one placeholder on one line must stand for the
//       same text, so "@ADDR@\t== @ADDR@" checks that both sides agree.
//       With --clock the program sees a clock stopped at TIME (UTC, as
//       "2026-12-08 12:00:00") through libfaketime, so a program seeded from
//       the clock deals the same cards every run.  Without the library the
//       case is skipped (exit status 77), unless LESSONS_CI is set in the
//       environment: then it fails.
//       The environment may give the wrapper and the timeout instead, as
//       LESSONS_CASE_WRAPPER and LESSONS_CASE_TIMEOUT (the memcheck run).
//
//   case_runner abuse [--quick] [--timeout S] PROGRAM CASE_DIR
//       Feeds PROGRAM hostile input: nothing at all, every prefix of every
//       *.in file in CASE_DIR, random bytes from a fixed seed, NUL bytes,
//       bytes of 128 and above, and lines of a megabyte (not with --quick).
//       Each run must end within the timeout with exit status 0.
//
// Either way the program must exit with status 0 before the timeout.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Options {
    bool quick = false;
    double timeoutSeconds = 5;
    std::vector<std::string> wrapper;
    std::string clock;
    std::string clockLibrary;
    std::vector<std::string> positional;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

struct RunResult {
    bool timedOut = false;
    int exitStatus = -1;  // -1 when the process did not exit normally
    int signal = 0;
    std::string output;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::vector<std::string> splitOnBlanks(const std::string& text) {
    std::istringstream words(text);
    std::vector<std::string> result;
    for (std::string word; words >> word;) {
        result.push_back(word);
    }
    return result;
}

fs::path scratchFile(const char* stem) {
    std::string pattern = (fs::temp_directory_path() / stem).string() + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        throw std::runtime_error("cannot create a scratch file");
    }
    close(fd);
    return fs::path(name.data());
}

// Runs argv with stdin from inputPath; stdout goes to outputPath.  The child
// gets a process group of its own, so a timeout also ends whatever a wrapper
// such as valgrind started.
RunResult run(const std::vector<std::string>& argv, const fs::path& inputPath,
              const fs::path& outputPath, double timeoutSeconds,
              const Environment& environment = {}) {
    pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        setpgid(0, 0);
        for (const auto& [name, value] : environment) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        int in = open(inputPath.c_str(), O_RDONLY);
        int out = open(outputPath.c_str(), O_WRONLY | O_TRUNC);
        if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0) {
            _exit(126);
        }
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }

    RunResult result;
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

std::string describeEnd(const RunResult& result, double timeoutSeconds) {
    std::ostringstream text;
    if (result.timedOut) {
        text << "did not end within " << timeoutSeconds << " s";
    } else if (result.signal != 0) {
        text << "was killed by signal " << result.signal << " (" << strsignal(result.signal) << ")";
    } else {
        text << "exited with status " << result.exitStatus;
    }
    return text.str();
}

bool endedWell(const RunResult& result) {
    return !result.timedOut && result.exitStatus == 0;
}

// Shows a text with its invisible bytes spelled out, so a missing blank or
// newline is as plain to see as a wrong digit.
std::string visible(const std::string& text) {
    std::string shown;
    for (unsigned char c : text) {
        if (c == '\n') {
            shown += "\\n\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (c == ' ') {
            shown += "\xc2\xb7";  // a middle dot marks every blank
        } else if (c < 32 || c >= 127) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02x", c);
            shown += code;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (;;) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));  // "" when the text ends in a newline
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::string escapeForRegex(const std::string& literal) {
    static const std::string special = "\\^$.|?*+()[]{}";
    std::string escaped;
    for (char c : literal) {
        if (special.find(c) != std::string::npos) {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

// Turns one expected line with placeholders into a regular expression in
// which the second and later uses of a placeholder must repeat the first.
std::regex patternForLine(const std::string& line) {
    struct Placeholder {
        const char* token;
        const char* pattern;
        int group = 0;
    };
    Placeholder placeholders[] = {{"@ADDR@", "(0x[0-9a-f]+|0)"}, {"@INT@", "(-?[0-9]+)"}};
    std::string regex;
    int groups = 0;
    std::string::size_type pos = 0;
    while (pos < line.size()) {
        Placeholder* found = nullptr;
        std::string::size_type at = std::string::npos;
        for (Placeholder& p : placeholders) {
            auto where = line.find(p.token, pos);
            if (where < at) {
                at = where;
                found = &p;
            }
        }
        regex += escapeForRegex(line.substr(pos, at - pos));
        if (found == nullptr) {
            break;
        }
        if (found->group == 0) {
            found->group = ++groups;
            regex += found->pattern;
        } else {
            regex += "\\" + std::to_string(found->group);
        }
        pos = at + std::strlen(found->token);
    }
    return std::regex(regex);
}

// Returns an empty string when the output fits, else what went wrong.
std::string compareWithPattern(const std::string& expected, const std::string& actual) {
    std::vector<std::string> want = splitLines(expected);
    std::vector<std::string> got = splitLines(actual);
    for (std::size_t i = 0; i < want.size() && i < got.size(); ++i) {
        if (!std::regex_match(got[i], patternForLine(want[i]))) {
            return "line " + std::to_string(i + 1) +
                   " differs:\n  expected pattern: " + visible(want[i]) +
                   "\n  actual:           " + visible(got[i]);
        }
    }
    if (want.size() != got.size()) {
        return "expected " + std::to_string(want.size()) + " line pieces, got " +
               std::to_string(got.size());
    }
    return "";
}

std::string compareExactly(const std::string& expected, const std::string& actual) {
    if (expected == actual) {
        return "";
    }
    auto mismatch = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    auto offset = mismatch.first - expected.begin();
    return "output differs from byte " + std::to_string(offset) + " on\n--- expected\n" +
           visible(expected) + "\n--- actual\n" + visible(actual);
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// libfaketime stops the clock at the given time.  It is preloaded, so under
// AddressSanitizer the runtime's check that it is loaded first is waived.
Environment stoppedClock(const Options& options) {
    const char* asanOptions = std::getenv("ASAN_OPTIONS");
    std::string asan = asanOptions != nullptr ? std::string(asanOptions) + ":" : "";
    return {{"FAKETIME", options.clock},
            {"TZ", "UTC"},
            {"LD_PRELOAD", options.clockLibrary},
            {"ASAN_OPTIONS", asan + "verify_asan_link_order=0"}};
}

int transcript(const Options& options) {
    if (options.positional.size() != 3) {
        std::cerr
            << "usage: case_runner transcript [--timeout S] [--wrapper CMD] PROGRAM IN EXPECTED\n";
        return 2;
    }
    const std::string& program = options.positional[0];
    fs::path input = options.positional[1];
    fs::path expectedPath = options.positional[2];

    Environment environment;
    if (!options.clock.empty()) {
        if (options.clockLibrary.empty() || !fs::exists(options.clockLibrary)) {
            std::cout << "the case needs a stopped clock, and libfaketime is missing\n";
            return std::getenv("LESSONS_CI") != nullptr ? 1 : 77;
        }
        environment = stoppedClock(options);
    }

    std::vector<std::string> argv = options.wrapper;
    argv.push_back(program);
    fs::path output = scratchFile("transcript");
    RunResult result = run(argv, input, output, options.timeoutSeconds, environment);
    std::string actual = readFile(output);
    fs::remove(output);

    bool ok = true;
    if (!endedWell(result)) {
        std::cerr << program << " " << describeEnd(result, options.timeoutSeconds) << "\n";
        ok = false;
    }
    std::string expected = readFile(expectedPath);
    std::string difference = endsWith(expectedPath.string(), ".match")
                                 ? compareWithPattern(expected, actual)
                                 : compareExactly(expected, actual);
    if (!difference.empty()) {
        std::cerr << expectedPath.filename().string() << ": " << difference << "\n";
        ok = false;
    }
    return ok ? 0 : 1;
}

struct AbuseInput {
    std::string name;
    std::string bytes;
};

std::string randomBytes(std::mt19937& rng, std::size_t length, const std::string& alphabet) {
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) {
        bytes += alphabet[pick(rng)];
    }
    return bytes;
}

std::vector<AbuseInput> abuseInputs(const fs::path& caseDir, bool quick) {
    std::vector<AbuseInput> inputs;
    inputs.push_back({"empty input", ""});

    std::vector<fs::path> cases;
    if (fs::is_directory(caseDir)) {
        for (const auto& entry : fs::directory_iterator(caseDir)) {
            if (entry.path().extension() == ".in") {
                cases.push_back(entry.path());
            }
        }
    }
    std::sort(cases.begin(), cases.end());
    for (const fs::path& path : cases) {
        std::string whole = readFile(path);
        for (std::size_t length = 1; length < whole.size(); ++length) {
            inputs.push_back(
                {"the first " + std::to_string(length) + " bytes of " + path.filename().string(),
                 whole.substr(0, length)});
        }
    }

    std::string everyByte;
    for (int c = 0; c < 256; ++c) {
        everyByte += static_cast<char>(c);
    }
    const std::string tokens = "0123456789+-.,;: \n\t\reExXaAdDmMfFnNqQsSuz!";
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<std::size_t> length(1, 4096);
    for (int i = 0; i < 8; ++i) {
        inputs.push_back(
            {"random bytes, draw " + std::to_string(i), randomBytes(rng, length(rng), everyByte)});
        inputs.push_back(
            {"random tokens, draw " + std::to_string(i), randomBytes(rng, length(rng), tokens)});
    }

    inputs.push_back({"NUL bytes", std::string(64, '\0')});
    inputs.push_back({"numbers between NUL bytes", std::string("1\0,2\0\n3\0 4\n", 12)});
    std::string high;
    for (int c = 128; c < 256; ++c) {
        high += static_cast<char>(c);
    }
    inputs.push_back({"bytes of 128 and above", high + "\n" + high + " " + high + "\n"});
    if (quick) {
        return inputs;
    }
    inputs.push_back(
        {"a megabyte line of text",
         randomBytes(rng, std::size_t{1} << 20, "abcdefghijklmnopqrstuvwxyz ABC,.!") + "\n"});
    inputs.push_back({"a megabyte line of digits", std::string(std::size_t{1} << 20, '9') + "\n"});
    inputs.push_back(
        {"a megabyte line of high bytes", randomBytes(rng, std::size_t{1} << 20, high) + "\n"});
    return inputs;
}

int abuse(const Options& options) {
    if (options.positional.size() != 2) {
        std::cerr << "usage: case_runner abuse [--timeout S] PROGRAM CASE_DIR\n";
        return 2;
    }
    const std::string& program = options.positional[0];
    std::vector<AbuseInput> inputs = abuseInputs(options.positional[1], options.quick);
    fs::path input = scratchFile("abuse-in");
    // Only the end of each run is judged, and a program answering a megabyte
    // of menu choices prints hundreds of megabytes.
    const fs::path output = "/dev/null";
    int failures = 0;
    for (const AbuseInput& abuseInput : inputs) {
        writeFile(input, abuseInput.bytes);
        RunResult result = run({program}, input, output, options.timeoutSeconds);
        if (!endedWell(result)) {
            ++failures;
            std::cerr << "on " << abuseInput.name << ": " << program << " "
                      << describeEnd(result, options.timeoutSeconds) << "\n";
        }
    }
    fs::remove(input);
    std::cout << inputs.size() << " runs, " << failures << " ended badly\n";
    return failures == 0 ? 0 : 1;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    if (const char* wrapper = std::getenv("LESSONS_CASE_WRAPPER")) {
        options.wrapper = splitOnBlanks(wrapper);
    }
    if (const char* timeout = std::getenv("LESSONS_CASE_TIMEOUT")) {
        options.timeoutSeconds = std::atof(timeout);
    }
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--quick") {
            options.quick = true;
        } else if (arg == "--timeout" && i + 1 < argc) {
            options.timeoutSeconds = std::atof(argv[++i]);
        } else if (arg == "--wrapper" && i + 1 < argc) {
            options.wrapper = splitOnBlanks(argv[++i]);
        } else if (arg == "--clock" && i + 1 < argc) {
            options.clock = argv[++i];
        } else if (arg == "--clock-library" && i + 1 < argc) {
            options.clockLibrary = argv[++i];
        } else {
            options.positional.push_back(arg);
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    try {
        Options options = parseOptions(argc, argv);
        if (mode == "transcript") {
            return transcript(options);
        }
        if (mode == "abuse") {
            return abuse(options);
        }
    } catch (const std::exception& error) {
        std::cerr << "case_runner: " << error.what() << "\n";
        return 2;
    }
    std::cerr << "usage: case_runner transcript|abuse ...\n";
    return 2;
}
