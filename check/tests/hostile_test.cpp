// lessons-check against versions written to get through.  Each test is one
// kind of attack a learner's code may make, on the instructor who checks
// it, on the other learners, on the report or on the machine, and asserts
// how it must end: nothing leaks, nothing passes without the work, the
// report is the checker's own, a cap that stops a run is named, the check's
// time is bounded and nothing of it outlives it.  The versions are in
// hostile/; a test fills in the paths they aim at.  Small caps keep a check
// that does not hold from hurting the machine.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <thread>

#include "NoNamespaces.h"

namespace fs = std::filesystem;

namespace {

using Values = std::vector<std::pair<std::string, std::string>>;

const std::vector<std::string> SMALL_CAPS = {"--max-memory", "256",       "--max-tasks",
                                             "32",           "--timeout", "2"};

// The file's bytes, or as many as could be read: a process's files in
// /proc go as it ends.
std::string readAll(const fs::path& file) {
    std::string text;
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    char buffer[1 << 16];
    for (ssize_t count; fd >= 0 && (count = read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    close(fd);
    return text;
}

void writeFile(const fs::path& file, const std::string& text, bool executable = false) {
    std::ofstream(file, std::ios::binary) << text;
    if (executable) {
        fs::permissions(file,
                        fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                        fs::perm_options::add);
    }
}

// A hostile version's text, with what it aims at filled in.
std::string filledIn(const std::string& name, const Values& values = {}) {
    std::string text = readAll(LESSONS_SOURCE_DIR "/check/tests/hostile/" + name);
    for (const auto& [key, value] : values) {
        for (std::size_t at; (at = text.find(key)) != std::string::npos;) {
            text.replace(at, key.size(), value);
        }
    }
    return text;
}

fs::path lessonsProgram(const std::string& lesson) {
    return fs::path(LESSONS_CHECK).parent_path() / lesson;
}

fs::path lessonsCases(const std::string& lesson) {
    return fs::path(LESSONS_CHECK).parent_path().parent_path() / "share/console-lessons/cases" /
           lesson;
}

// A test's folders, open to every user (as root a version runs as nobody),
// removed with it.
struct Scratch {
    explicit Scratch(const std::string& name)
        : path(fs::temp_directory_path() /
               ("lessons-hostile-" + name + "-" + std::to_string(getpid()))) {
        fs::remove_all(path);
        folder("");
    }
    ~Scratch() { fs::remove_all(path); }
    // A folder in it, made with those above, whatever the umask.
    fs::path folder(const std::string& name) const {
        fs::create_directories(path / name);
        for (fs::path made = name; !made.empty(); made = made.parent_path()) {
            fs::permissions(path / made, fs::perms(0755));
        }
        fs::permissions(path, fs::perms(0755));
        return path / name;
    }
    const fs::path path;
};

// What a folder holds, each file with its bytes, to tell that nothing changed.
std::map<std::string, std::string> contents(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code none;
    for (auto entry = fs::recursive_directory_iterator(folder, none);
         entry != fs::recursive_directory_iterator(); entry.increment(none)) {
        files[entry->path().string()] =
            entry->is_regular_file() ? readAll(entry->path()) : std::string("(not a file)");
    }
    return files;
}

// How lessons-check is started.
struct Start {
    std::vector<std::string> args;
    fs::path folder = "/";  // where it runs
    fs::path home = "/nonexistent";
    std::string path = fs::path(LESSONS_PYTHON).parent_path().string() + ":/usr/bin:/bin";
    int terminal = -1;                      // its input, errors and controlling terminal
    bool sameOutput = false;                // errors into the output file, as `> file 2>&1`
    std::vector<std::pair<int, int>> more;  // descriptors it inherits: number, open here
    std::vector<std::string> around;        // a command it runs under
};

struct Checked {
    int status = -1;  // -1 when it did not exit normally
    std::string output, errors;
    double seconds = 0;
    bool killed = false;  // by the test, at its time limit
    std::string all() const { return output + errors; }
};

// A file in memory that a descriptor of lessons-check's writes to.
int memoryFile(const char* name) {
    return memfd_create(name, MFD_CLOEXEC);
}

std::string memoryFileText(int fd) {
    std::string text;
    char buffer[1 << 16];
    for (off_t at = 0;;) {
        const ssize_t count = pread(fd, buffer, sizeof buffer, at);
        if (count <= 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(count));
        at += count;
    }
}

// lessons-check, started in a session of its own.
class Checker {
public:
    explicit Checker(const Start& start)
        : output(memoryFile("output")), errors(memoryFile("errors")), began(now()) {
        std::vector<std::string> words = start.around;
        words.push_back(LESSONS_CHECK);
        words.insert(words.end(), start.args.begin(), start.args.end());
        std::vector<std::string> environment = {"PATH=" + start.path, "HOME=" + start.home.string(),
                                                "LANG=C.UTF-8"};
        pid = fork();
        if (pid == 0) {
            becomeChecker(start, words, environment);
        }
    }
    ~Checker() {
        if (pid > 0) {
            stop(SIGKILL);
            wait(1);
        }
        close(output);
        close(errors);
    }
    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;

    // To the whole session, as a terminal sends Ctrl-C, or to lessons-check alone.
    void stop(int signal, bool group = true) const {
        if (pid > 0) {
            kill(group ? -pid : pid, signal);
        }
    }
    pid_t process() const { return pid; }

    // Waits for its end, for the seconds at most; then ends it.
    Checked wait(double seconds) {
        Checked checked;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (now() - began > seconds) {
                stop(SIGKILL);
                waitpid(pid, &status, 0);
                checked.killed = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid = -1;
        checked.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        checked.seconds = now() - began;
        checked.output = memoryFileText(output);
        checked.errors = memoryFileText(errors);
        return checked;
    }

private:
    static double now() {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    [[noreturn]] void becomeChecker(const Start& start, const std::vector<std::string>& words,
                                    const std::vector<std::string>& environment) const {
        setsid();
        const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
        std::vector<std::pair<int, int>> fds = {{0, start.terminal >= 0 ? start.terminal : nothing},
                                                {1, output},
                                                {2, start.terminal >= 0 ? start.terminal
                                                    : start.sameOutput  ? output
                                                                        : errors}};
        fds.insert(fds.end(), start.more.begin(), start.more.end());
        // Out of the way first, so that no dup2 overwrites one still to be moved.
        for (auto& [number, from] : fds) {
            from = fcntl(from, F_DUPFD, 100);
        }
        for (const auto& [number, from] : fds) {
            dup2(from, number);
        }
        if (start.terminal >= 0) {
            ioctl(0, TIOCSCTTY, 0);
        }
        for (const auto& [number, from] : fds) {
            close(from);
        }
        if (chdir(start.folder.c_str()) < 0) {
            _exit(126);
        }
        std::vector<char*> argv, envp;
        for (const std::string& word : words) {
            argv.push_back(const_cast<char*>(word.c_str()));
        }
        for (const std::string& variable : environment) {
            envp.push_back(const_cast<char*>(variable.c_str()));
        }
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }

    int output, errors;
    double began;
    pid_t pid = -1;
};

Checked check(const Start& start, double seconds = 150) {
    Checker checker(start);
    return checker.wait(seconds);
}

std::vector<std::string> args(std::vector<std::string> options,
                              const std::vector<std::string>& rest) {
    options.insert(options.end(), rest.begin(), rest.end());
    return options;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The report's lines that start so: the version lines and summaries of a class.
std::vector<std::string> linesStarting(const std::string& text, const std::regex& start) {
    std::vector<std::string> found;
    for (const std::string& line : linesOf(text)) {
        if (std::regex_search(line, start, std::regex_constants::match_continuous)) {
            found.push_back(line);
        }
    }
    return found;
}

const std::regex VERSION_LINE("(ok    |FAIL  |ERROR )");
const std::regex SUMMARY_LINE("[0-9]+ versions?: ");

// A class report's line for each version: those before its summary.
std::vector<std::string> versionLines(const std::string& report) {
    const std::vector<std::string> summary = linesStarting(report, SUMMARY_LINE);
    const std::size_t end = summary.empty() ? std::string::npos : report.find(summary.front());
    return linesStarting(report.substr(0, end), VERSION_LINE);
}

// Bytes that would act on a terminal or break a line of a format.
std::string controlBytesIn(const std::string& text) {
    std::string found;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7f) {
            found += c;
        }
    }
    return testing::PrintToString(found);
}

// The processes whose command line holds the text.
std::vector<pid_t> processesWith(const std::string& text) {
    std::vector<pid_t> found;
    std::error_code none;
    for (const auto& entry : fs::directory_iterator("/proc", none)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") == std::string::npos &&
            readAll(entry.path() / "cmdline").find(text) != std::string::npos) {
            found.push_back(std::stoi(name));
        }
    }
    return found;
}

// Waits for processes with the mark to be there (or gone), up to the seconds.
bool awaitProcesses(const std::string& mark, bool there, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (processesWith(mark).empty() == there) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The command lines of the processes with the mark, one a line.
std::string commandLines(const std::string& mark) {
    std::string lines;
    for (const pid_t pid : processesWith(mark)) {
        std::string line = readAll("/proc/" + std::to_string(pid) + "/cmdline");
        std::replace(line.begin(), line.end(), '\0', ' ');
        lines += "\n  " + std::to_string(pid) + ": " + line;
    }
    return lines;
}

// Ends what a check left behind, so that one failure does not pile up.
void endLeftovers(const std::string& mark) {
    for (const pid_t pid : processesWith(mark)) {
        kill(pid, SIGKILL);
    }
}

pid_t parentOf(pid_t pid) {
    const std::string stat = readAll("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 1));
    std::string state;
    pid_t parent = 0;
    fields >> state >> parent;
    return parent;
}

bool isChecker(pid_t pid) {
    return readAll("/proc/" + std::to_string(pid) + "/cmdline").rfind(LESSONS_CHECK, 0) == 0;
}

// The lessons-check the session started, under whatever command runs it:
// the first of its session that is no other lessons-check's child.
pid_t firstChecker(pid_t session) {
    for (const pid_t pid : processesWith(LESSONS_CHECK)) {
        if (getsid(pid) == session && isChecker(pid) && !isChecker(parentOf(pid))) {
            return pid;
        }
    }
    return session;
}

// A socket that listens, to tell whether a version reached it.
class Listener {
public:
    // On 127.0.0.1, at a port of its own.
    Listener() : fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), size), 0);
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        name = std::to_string(ntohs(address.sin_port));
        EXPECT_EQ(listen(fd, 8), 0);
    }
    // A unix socket at the path, open to every user, or (with a name that
    // starts with '@') in the abstract namespace.
    explicit Listener(const std::string& path)
        : fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)), name(path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        if (path[0] == '@') {
            address.sun_path[0] = '\0';
        }
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address),
                       static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size())),
                  0)
            << path;
        if (path[0] != '@') {
            chmod(path.c_str(), 0777);
        }
        EXPECT_EQ(listen(fd, 8), 0);
    }
    ~Listener() { close(fd); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool reached() const {
        const int connection = accept(fd, nullptr, nullptr);
        if (connection >= 0) {
            close(connection);
        }
        return connection >= 0;
    }
    int fd;
    std::string name;
};

// An honest greeting, as a learner's folder holds it.
void honestGreeting(const fs::path& folder) {
    fs::create_directories(folder);
    writeFile(folder / "greet", "#!/bin/sh\necho 'Hello World!'\n", true);
}

TEST(Hostile, InstructorsTerminalAndDescriptorsAreOutOfReach) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    const Scratch scratch("terminal");
    const fs::path work = scratch.folder("work"), home = scratch.folder("home");
    writeFile(work / "terminal.py", filledIn("terminal.py"));
    fs::copy_file(LESSONS_SOURCE_DIR "/check/tests/learners/heatprompt.py", work / "heatprompt.py");
    const std::string secret = "DESCRIPTOR-SECRET-" + std::to_string(getpid());
    writeFile(home / "secret", secret + "\n");
    const int secretFile = open((home / "secret").c_str(), O_RDONLY | O_CLOEXEC);
    // The instructor's terminal, where a line is typed ahead.
    int terminal = -1, instructor = -1;
    ASSERT_EQ(openpty(&terminal, &instructor, nullptr, nullptr, nullptr), 0);
    fcntl(terminal, F_SETFD, FD_CLOEXEC);
    fcntl(instructor, F_SETFD, FD_CLOEXEC);
    const std::string typed = "TYPED-SECRET-" + std::to_string(getpid());
    ASSERT_GT(write(terminal, (typed + "\n").data(), typed.size() + 1), 0);

    Start start;
    start.args = args(SMALL_CAPS, {"heatprompt", LESSONS_PYTHON, "terminal.py"});
    start.folder = work;
    start.home = home;
    start.terminal = instructor;
    start.more = {{7, secretFile}};
    const Checked checked = check(start);
    termios modes{};
    tcgetattr(instructor, &modes);
    fcntl(terminal, F_SETFL, O_NONBLOCK);
    std::string screen;
    char buffer[4096];
    for (ssize_t count; (count = read(terminal, buffer, sizeof buffer)) > 0;) {
        screen.append(buffer, static_cast<std::size_t>(count));
    }
    close(terminal);
    close(instructor);
    close(secretFile);

    EXPECT_EQ(checked.status, 1) << checked.all();
    EXPECT_EQ(checked.all().find(secret), std::string::npos) << checked.all();
    EXPECT_EQ(checked.all().find(typed), std::string::npos) << checked.all();
    // The report is whole, and the instructor's terminal as it was.
    EXPECT_EQ(checked.output.rfind("heatprompt: 13 cases, against ", 0), 0u) << checked.output;
    EXPECT_EQ(checked.output.find("FORGED"), std::string::npos) << checked.output;
    // It answered rightly through a pipe, and so was run at a terminal too.
    EXPECT_NE(checked.output.find("at a terminal"), std::string::npos) << checked.output;
    EXPECT_NE(modes.c_lflag & ECHO, 0u) << "the version turned the terminal's echo off";
    EXPECT_EQ(screen.find("HOSTILE-TITLE"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("FORGED"), std::string::npos) << screen;
}

// A class of two learners: alice, whose folder holds a secret, and the
// versions given, each of which looks for it.
class HostileSiblings : public testing::Test {
protected:
    void SetUp() override {
        honestGreeting(alice);
        writeFile(alice / "notes", secret + "\n");
    }
    std::string searcher(const fs::path& sibling) const {
        return filledIn("siblings.py",
                        {{"@CLASS@", classFolder.string()}, {"@SIBLING@", sibling.string()}});
    }
    // Checks the versions from the folder: every one must pass, having
    // found nothing.
    void expectAllPassUnseen(const fs::path& folder, const std::vector<std::string>& versions) {
        SCOPED_TRACE(testing::PrintToString(versions));
        Start start;
        start.args = args(SMALL_CAPS, {"greet", "--each"});
        start.args.insert(start.args.end(), versions.begin(), versions.end());
        start.folder = folder;
        const Checked checked = check(start);
        EXPECT_EQ(checked.all().find("SIBLING-SECRET"), std::string::npos) << checked.all();
        EXPECT_EQ(checked.status, 0) << checked.all();
        EXPECT_EQ(linesStarting(checked.output, SUMMARY_LINE),
                  std::vector<std::string>{std::to_string(versions.size()) + " versions: " +
                                           std::to_string(versions.size()) + " passed, 0 failed"})
            << checked.output;
    }

    const Scratch scratch{"siblings"};
    const fs::path classFolder = scratch.folder("class"), alice = scratch.folder("class/alice");
    const std::string secret = "SIBLING-SECRET-" + std::to_string(getpid());
};

TEST_F(HostileSiblings, StayHiddenInTheFolderTheCheckRunsInByAbsolutePathsAndAsFiles) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    writeFile(scratch.folder("class/bob") / "greet.py", searcher(alice));
    // A name split at ';' would show the class's whole folder.
    writeFile(scratch.folder("class/;x") / "greet.py", searcher(alice));
    expectAllPassUnseen(classFolder, {"alice/", "bob/"});
    expectAllPassUnseen("/", {alice.string() + "/", (classFolder / "bob").string() + "/",
                              (classFolder / ";x").string() + "/"});
    // File versions, side by side in one folder.
    const fs::path files = scratch.folder("files");
    writeFile(files / "alice.py", "# " + secret + "\nprint('Hello World!')\n");
    writeFile(files / "bob.py", searcher(files / "alice.py"));
    expectAllPassUnseen(scratch.path, {"files/alice.py", "files/bob.py"});
}

TEST_F(HostileSiblings, NoLinkIsFollowedOutOfAVersion) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    const fs::path bob = scratch.folder("class/bob"), home = scratch.folder("home");
    writeFile(bob / "greet.py", searcher("/nonexistent"));
    fs::create_directory_symlink("../alice", bob / "peek");
    fs::create_directory_symlink(alice, bob / "absolute");
    fs::create_directory_symlink(home, bob / "home");
    // A file version that is a link to a key, which python3 would quote in
    // its syntax error.
    writeFile(home / "key", "SSH-KEY-SECRET " + secret + "\n");
    fs::create_symlink(home / "key", classFolder / "carol.py");
    Start start;
    start.args = args(SMALL_CAPS, {"greet", "--each", "alice/", "bob/", "carol.py"});
    start.folder = classFolder;
    start.home = home;
    const Checked checked = check(start);
    EXPECT_EQ(checked.all().find("SECRET"), std::string::npos) << checked.all();
    const std::vector<std::string> lines = versionLines(checked.output);
    ASSERT_EQ(lines.size(), 3u) << checked.output;
    EXPECT_EQ(lines[0].rfind("ok    alice/", 0), 0u) << checked.output;
    EXPECT_EQ(lines[1].rfind("ok    bob/", 0), 0u) << checked.output;
    EXPECT_NE(lines[2].rfind("ok    ", 0), 0u) << checked.output;
}

TEST(Hostile, NoSocketOfTheHostIsReachable) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    const Scratch scratch("sockets");
    const fs::path work = scratch.folder("work"), bob = scratch.folder("class/bob");
    const Listener inWork((scratch.folder("work/sub") / "socket").string()),
        inVersion((bob / "socket").string()),
        abstract("@lessons-hostile-" + std::to_string(getpid())), network;
    const auto sockets = [&](const std::string& unix) {
        return filledIn(
            "sockets.py",
            {{"@UNIX@", unix}, {"@ABSTRACT@", abstract.name.substr(1)}, {"@PORT@", network.name}});
    };
    // A single check, run in the folder that holds a socket below it.
    writeFile(work / "sockets.py", sockets("sub/socket:" + inWork.name));
    Start single;
    single.args = args(SMALL_CAPS, {"greet", LESSONS_PYTHON, "sockets.py"});
    single.folder = work;
    // A class check, of a version with a socket in its folder.
    writeFile(bob / "greet.py", sockets("socket:" + inVersion.name));
    Start each;
    each.args = args(SMALL_CAPS, {"greet", "--each", bob.string()});
    for (const Start& start : {single, each}) {
        const Checked checked = check(start);
        EXPECT_EQ(checked.all().find("reached"), std::string::npos) << checked.all();
        EXPECT_EQ(checked.status, 0) << checked.all();
    }
    for (const Listener* listener : {&inWork, &inVersion, &abstract, &network}) {
        EXPECT_FALSE(listener->reached()) << listener->name;
    }
}

TEST(Hostile, TheLessonsOwnProgramEarnsNoPass) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    const Scratch scratch("own");
    const fs::path work = scratch.folder("work");
    const Values program = {{"@PROGRAM@", lessonsProgram("greet").string()}};
    writeFile(work / "own.sh", filledIn("own-program.sh", program));
    writeFile(work / "own.py", filledIn("own-program.py", program));
    writeFile(work / "own.js", filledIn("own-program.js", program));
    writeFile(work / "own.mk", filledIn("own-program.mk", program));
    writeFile(work / "own", filledIn("own-program.shebang", program), true);
    fs::create_symlink(lessonsProgram("greet"), work / "link");
    writeFile(work / "replay.py",
              filledIn("replay-cases.py", {{"@CASES@", lessonsCases("greet").string()}}));
    std::vector<std::vector<std::string>> commands = {{"sh", "own.sh"},
                                                      {LESSONS_PYTHON, "own.py"},
                                                      {"./own"},
                                                      {"./link"},
                                                      {LESSONS_PYTHON, "replay.py"}};
    if (std::string(LESSONS_NODE).empty() || std::string(LESSONS_MAKE).empty()) {
        ADD_FAILURE() << "node or make is not installed (Debian: nodejs make)";
    } else {
        commands.push_back({LESSONS_NODE, "own.js"});
        commands.push_back({LESSONS_MAKE, "-s", "-f", "own.mk"});
    }
    for (const std::vector<std::string>& command : commands) {
        SCOPED_TRACE(testing::PrintToString(command));
        Start start;
        start.args = args(SMALL_CAPS, {"greet"});
        start.args.insert(start.args.end(), command.begin(), command.end());
        start.folder = work;
        const Checked checked = check(start);
        EXPECT_EQ(checked.status, 1) << checked.all();
        EXPECT_EQ(checked.output.find("\n1 passed"), std::string::npos) << checked.all();
    }

    // The lesson's name, as PATH finds its own program.
    Start onPath;
    onPath.args = args(SMALL_CAPS, {"chainplay", "chainplay"});
    onPath.path = lessonsProgram("chainplay").parent_path().string() + ":" + onPath.path;
    const Checked found = check(onPath);
    EXPECT_EQ(found.status, 1) << found.all();
    EXPECT_NE(found.all().find("the lesson's own program"), std::string::npos) << found.all();

    // A class: the program linked, copied, made; a sibling's program.
    const fs::path classFolder = scratch.folder("class");
    honestGreeting(classFolder / "alice");
    fs::create_symlink(lessonsProgram("greet"), scratch.folder("class/linked") / "greet");
    fs::copy_file(lessonsProgram("greet"), scratch.folder("class/copied") / "greet");
    writeFile(scratch.folder("class/made") / "Makefile", filledIn("own-program.mk", program));
    writeFile(scratch.folder("class/bob") / "greet",
              filledIn("sibling-program.sh", {{"@SIBLING@", (classFolder / "alice").string()}}),
              true);
    // A copy with a byte added, and a copy under another name that a
    // script starts.
    fs::copy_file(lessonsProgram("greet"), scratch.folder("class/added") / "greet");
    std::ofstream(classFolder / "added/greet", std::ios::app) << '\n';
    fs::copy_file(lessonsProgram("greet"), scratch.folder("class/renamed") / "real");
    writeFile(classFolder / "renamed/greet", "#!/bin/sh\nexec ./real\n", true);
    Start each;
    each.args = args(SMALL_CAPS, {"greet", "--each", "alice/", "linked/", "copied/", "made/",
                                  "bob/", "added/", "renamed/"});
    each.folder = classFolder;
    const Checked checked = check(each);
    EXPECT_EQ(checked.status, 1) << checked.all();
    const std::vector<std::string> lines = versionLines(checked.output);
    ASSERT_EQ(lines.size(), 7u) << checked.output;
    EXPECT_EQ(lines[0].rfind("ok    alice/", 0), 0u) << checked.output;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_NE(lines[i].rfind("ok    ", 0), 0u) << lines[i];
    }
    for (const std::size_t named : {1, 2, 5, 6}) {
        EXPECT_NE(lines[named].find("the lesson's own program"), std::string::npos) << lines[named];
    }
}

// What a command of the test's own prints, standard error included.
std::string outputOf(const std::string& command) {
    std::string said;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t count; (count = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            said.append(buffer, count);
        }
        pclose(pipe);
    }
    return said;
}

// Runs python3 on the text (a JSON report): what the script prints.
std::string pythonOn(const std::string& script, const std::string& text, const Scratch& scratch) {
    writeFile(scratch.path / "script.py", script);
    writeFile(scratch.path / "text", text);
    return outputOf(std::string(LESSONS_PYTHON) + " " + (scratch.path / "script.py").string() +
                    " " + (scratch.path / "text").string());
}

// A class report's JSON, read as UTF-8 strictly: its summary's counts.
const char* const JSON_SUMMARY = R"(
import json, sys
report = json.loads(open(sys.argv[1], "rb").read().decode("utf-8"))
summary = report["summary"]
print(summary["versions"], summary["passed"], summary["failed"], summary["not_checked"])
)";

TEST(Hostile, AClassReportIsTheCheckersOwn) {
    const Scratch scratch("forge");
    const fs::path classFolder = scratch.folder("class");
    honestGreeting(classFolder / "alice");
    writeFile(scratch.folder("class/mallory") / "greet", filledIn("forge-report.sh"), true);
    Start start;
    start.args = args(SMALL_CAPS, {"greet", "--each", "alice/", "mallory/"});
    start.folder = classFolder;
    const Checked checked = check(start);
    EXPECT_EQ(checked.status, 1) << checked.all().substr(0, 4096);
    EXPECT_EQ(linesStarting(checked.output, SUMMARY_LINE),
              std::vector<std::string>{"2 versions: 1 passed, 1 failed"})
        << checked.output.substr(0, 4096);
    const std::vector<std::string> lines = versionLines(checked.output);
    ASSERT_EQ(lines.size(), 2u) << checked.output.substr(0, 4096);
    EXPECT_EQ(lines[0].rfind("ok    alice/", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("FAIL  mallory/", 0), 0u) << lines[1];
    EXPECT_EQ(linesStarting(checked.all(), std::regex("ok    ")).size(), 1u)
        << checked.all().substr(0, 4096);
    EXPECT_EQ(controlBytesIn(checked.all()), "\"\"");
    EXPECT_LT(checked.all().size(), std::size_t{1} << 20);

    if (std::string(LESSONS_PYTHON).empty()) {
        GTEST_SKIP() << "python3 is not installed, to read the JSON";
    }
    start.args = args(SMALL_CAPS, {"--format", "json", "greet", "--each", "alice/", "mallory/"});
    const Checked json = check(start);
    EXPECT_EQ(json.status, 1) << json.errors;
    EXPECT_EQ(pythonOn(JSON_SUMMARY, json.output, scratch), "2 1 1 0\n")
        << json.output.substr(0, 4096);
}

TEST(Hostile, NamesAndBytesAreEscapedInEveryFormat) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    const Scratch scratch("names");
    const fs::path classFolder = scratch.folder("class");
    // Honest versions under names meant to act on a terminal or to be taken
    // for options, and one version whose bytes are no UTF-8.
    std::vector<std::string> versions;
    for (const char* name : {"new\nok    line", "carriage\rok", "esc\x1b[2Jape", "--help", "-rf"}) {
        honestGreeting(classFolder / name);
        versions.push_back(std::string(name) + "/");
    }
    // As a glob gives them: an option's name, and an option that would write
    // the report over a sibling.
    honestGreeting(classFolder / "--version");
    versions.push_back("--version");
    writeFile(classFolder / "--output=sibling.py", "print('Hello World!')\n");
    versions.push_back("--output=sibling.py");
    writeFile(classFolder / "sibling.py", "print('Hello World!')\n");
    versions.push_back("sibling.py");
    // Run as Python's code, it would print PWNED.
    const std::string option = "-cimport os;print('DENWP'[::-1])#.py";
    writeFile(classFolder / option, "print('Hello World!')\n");
    versions.push_back(option);
    const std::string bytes = "bytes-\xed\xa0\x80-\xff";
    writeFile(scratch.folder("class/" + bytes) / "greet", filledIn("not-utf8.sh"), true);
    versions.push_back(bytes + "/");
    const auto checkAs = [&](const std::string& format) {
        Start start;
        start.args = args(SMALL_CAPS, {"--format", format, "greet", "--each"});
        start.args.insert(start.args.end(), versions.begin(), versions.end());
        start.folder = classFolder;
        return check(start);
    };

    const Checked human = checkAs("human");
    EXPECT_EQ(human.status, 1) << human.all();
    EXPECT_EQ(controlBytesIn(human.all()), "\"\"") << human.all();
    EXPECT_EQ(human.all().find("PWNED"), std::string::npos) << human.all();
    EXPECT_EQ(linesStarting(human.output, SUMMARY_LINE),
              std::vector<std::string>{"10 versions: 9 passed, 1 failed"})
        << human.output;
    EXPECT_EQ(linesStarting(human.output, std::regex("ok    ")).size(), 9u) << human.output;
    EXPECT_EQ(readAll(classFolder / "sibling.py"), "print('Hello World!')\n");

    const Checked tap = checkAs("tap");
    EXPECT_EQ(controlBytesIn(tap.all()), "\"\"") << tap.all();
    EXPECT_NE(tap.output.find("\n1..10\n"), std::string::npos) << tap.output;
    if (std::string(LESSONS_PROVE).empty()) {
        ADD_FAILURE() << "prove is not installed (Debian: perl)";
    } else {
        writeFile(scratch.path / "class.tap", tap.output);
        const std::string said = outputOf(std::string(LESSONS_PROVE) + " -e cat " +
                                          (scratch.path / "class.tap").string());
        EXPECT_EQ(said.find("Parse errors"), std::string::npos) << said;
        EXPECT_NE(said.find("Tests: 10 Failed: 1)"), std::string::npos) << said;
    }

    const Checked json = checkAs("json");
    EXPECT_EQ(pythonOn(JSON_SUMMARY, json.output, scratch), "10 9 1 0\n") << json.all();
}

// The first "MODE N" line a machine.py version printed, as the report
// quotes it: N, or -1 when it did not get that far.
long heldBy(const std::string& report, const std::string& mode) {
    std::smatch held;
    return std::regex_search(report, held, std::regex("\"" + mode + " ([0-9]+)"))
               ? std::stol(held[1])
               : -1;
}

// machine.py in the mode, under the small caps: stopped at the cap named,
// or held to less than the limit (by the kernel's limits, for a cap that
// has no name); either way, nothing left of it.
void expectHeldWithin(const std::string& mode, long limit, const std::string& cap) {
    SCOPED_TRACE(mode);
    const Scratch scratch("machine-" + mode);
    const std::string mark = "hostile-" + mode + "-" + std::to_string(getpid());
    writeFile(scratch.path / "machine.py", filledIn("machine.py"));
    Start start;
    start.args = args(SMALL_CAPS, {"greet", LESSONS_PYTHON, "machine.py", mode, mark});
    start.folder = scratch.path;
    const Checked checked = check(start, 60);
    EXPECT_EQ(checked.status, 1) << checked.all();
    EXPECT_LT(checked.seconds, 30) << checked.all();
    const long held = heldBy(checked.output, mode);
    if (held >= 0 || cap.empty()) {
        EXPECT_GE(held, 0) << checked.all();
        EXPECT_LT(held, limit) << checked.all();
    } else {
        EXPECT_NE(checked.output.find(cap), std::string::npos) << checked.all();
    }
    EXPECT_TRUE(awaitProcesses(mark, false, 5)) << "left running:" << commandLines(mark);
    endLeftovers(mark);
}

TEST(Hostile, TasksAndOpenFilesAreCapped) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    expectHeldWithin("forks", 0, "--max-tasks");
    expectHeldWithin("threads", 32, "--max-tasks");
    expectHeldWithin("files", 4096, "");
}

TEST(Hostile, MemoryIsCappedForARunTogether) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    expectHeldWithin("shared", 256, "--max-memory");
    expectHeldWithin("tmpfs", 256, "--max-memory");
    expectHeldWithin("processes", 256, "--max-memory");
    expectHeldWithin("memfds", 256, "--max-memory");
}

TEST(Hostile, TimeIsBoundedPerVersion) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    const Scratch scratch("time");
    writeFile(scratch.path / "slow.py", filledIn("slow.py"));
    fs::copy_file(LESSONS_SOURCE_DIR "/check/tests/learners/heatprompt.py",
                  scratch.path / "heatprompt.py");
    writeFile(scratch.path / "long-line.sh", filledIn("long-line.sh"));
    // 26 runs of a second each, within a budget of 6.
    Start slow;
    slow.args = args(SMALL_CAPS, {"--budget", "6", "heatprompt", LESSONS_PYTHON, "slow.py"});
    slow.folder = scratch.path;
    const Checked sleeper = check(slow, 60);
    EXPECT_EQ(sleeper.status, 1) << sleeper.all();
    EXPECT_NE(sleeper.output.find("--budget"), std::string::npos) << sleeper.all();
    EXPECT_LT(sleeper.seconds, 15) << sleeper.all();
    EXPECT_NE(sleeper.output.find("ok    empty-input"), std::string::npos) << sleeper.all();
    // A megabyte line against every case of segments, some of whose lines
    // hold a placeholder.
    Start line;
    line.args = args(SMALL_CAPS, {"segments", "sh", "long-line.sh"});
    line.folder = scratch.path;
    const Checked longLine = check(line, 120);
    EXPECT_EQ(longLine.status, 1) << longLine.all().substr(0, 4096);
    EXPECT_LT(longLine.seconds, 10) << longLine.all().substr(0, 4096);
    EXPECT_LT(longLine.all().size(), std::size_t{256} << 10);
}

TEST(Hostile, NothingCarriesFromOneRunToTheNext) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    const Scratch scratch("carry");
    writeFile(scratch.path / "carry.py", filledIn("carry.py"));
    Start start;
    start.args = args(SMALL_CAPS, {"heatprompt", LESSONS_PYTHON, "carry.py"});
    start.folder = scratch.path;
    const Checked checked = check(start, 60);
    EXPECT_EQ(checked.status, 1) << checked.all();
    EXPECT_NE(checked.output.find("\"left: 0\\n\""), std::string::npos) << checked.all();
    EXPECT_FALSE(std::regex_search(checked.output, std::regex("left: [1-9]"))) << checked.all();
}

// Whoever starts the check, root included, a run is an ordinary user with
// every capability set empty: none to use, to inherit, or to gain by exec.
TEST(Hostile, ARunHoldsNoCapabilityAndIsNotRoot) {
    const Scratch scratch("capabilities");
    writeFile(scratch.path / "capabilities.sh", filledIn("capabilities.sh"), true);
    Start start;
    start.args = args(SMALL_CAPS, {"greet", "./capabilities.sh"});
    start.folder = scratch.path;
    const Checked checked = check(start, 60);
    EXPECT_EQ(checked.status, 1) << checked.all();
    const std::string none = "0000000000000000";
    const std::string allNone =
        "capabilities: " + none + " " + none + " " + none + " " + none + " " + none + "\\n";
    EXPECT_NE(checked.output.find(allNone), std::string::npos) << checked.all();
    EXPECT_NE(checked.output.find("uid: "), std::string::npos) << checked.all();
    EXPECT_EQ(checked.output.find("uid: 0\\n"), std::string::npos) << checked.all();
}

// A class whose version bob outlives its check and writes where it must
// not; alice is honest.  Each check is stopped while bob waits.
class HostileSurvivors : public testing::Test {
protected:
    void SetUp() override {
        honestGreeting(alice);
        writeFile(home / ".bashrc", "# the instructor's\n");
        const std::string survivor = filledIn("survive.sh", {{"@MARK@", mark},
                                                             {"@HOME@", home.string()},
                                                             {"@SIBLING@", alice.string()},
                                                             {"@RAN@", "/nonexistent"}});
        writeFile(bob / "greet", survivor, true);
        before = contents(home);
        aliceBefore = contents(alice);
    }
    void TearDown() override { endLeftovers(mark); }

    Start single(const std::vector<std::string>& around = {}) const {
        Start start;
        start.args = args({"--timeout", "30", "--max-memory", "256", "--max-tasks", "32"},
                          {"greet", "./greet"});
        start.folder = bob;
        start.home = home;
        start.around = around;
        return start;
    }
    Start each(const std::vector<std::string>& extra,
               const std::vector<std::string>& around = {}) const {
        Start start = single(around);
        start.args = args({"--timeout", "30", "--max-memory", "256", "--max-tasks", "32"}, extra);
        start.args.insert(start.args.end(), {"greet", "--each", alice.string(), bob.string()});
        start.folder = classFolder;
        return start;
    }

    // Starts the check, waits for bob to wait, stops the check (its session,
    // or the checker alone); nothing of bob may be left, nor (when it ran
    // confined) anything written.
    void expectNothingLeft(const Start& start, int signal, bool group, bool confined = true) {
        SCOPED_TRACE(testing::PrintToString(start.args) + " stopped by signal " +
                     std::to_string(signal));
        Checker checker(start);
        ASSERT_TRUE(awaitProcesses(mark, true, 30)) << "the version never started";
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (group) {
            checker.stop(signal);
        } else {
            kill(firstChecker(checker.process()), signal);
        }
        const Checked checked = checker.wait(20);
        EXPECT_FALSE(checked.killed) << "the check did not end when stopped: " << checked.all();
        EXPECT_TRUE(awaitProcesses(mark, false, 5)) << "left running:" << commandLines(mark);
        endLeftovers(mark);
        EXPECT_EQ(checked.all().find("ran as root"), std::string::npos) << checked.all();
        if (confined) {
            EXPECT_EQ(contents(home), before);
            EXPECT_EQ(contents(alice), aliceBefore);
        }
    }

    const Scratch scratch{"survive"};
    const std::string mark = "7" + std::to_string(getpid()) + ".5";
    const fs::path classFolder = scratch.folder("class"), alice = classFolder / "alice",
                   bob = scratch.folder("class/bob"), home = scratch.folder("home");
    std::map<std::string, std::string> before, aliceBefore;
};

TEST_F(HostileSurvivors, NothingOutlivesAnInterruptedOrKilledCheck) {
    for (const bool group : {true, false}) {
        const int signal = group ? SIGINT : SIGKILL;
        expectNothingLeft(single(), signal, group);
        expectNothingLeft(each({}), signal, group);
    }
}

// Where lessons-check cannot make its sandbox (CheckerTests.h).
const std::vector<std::string> NO_NAMESPACES = withoutNamespaces();

TEST_F(HostileSurvivors, WithoutNamespacesAClassIsRefusedAndNothingOutlivesTheCheck) {
    ASSERT_STRNE(LESSONS_BWRAP, "") << "bubblewrap is not installed";
    const fs::path ran = scratch.folder("ran");
    fs::permissions(ran, fs::perms::all, fs::perm_options::add);
    writeFile(scratch.folder("carol") / "greet",
              filledIn("unconfined.sh", {{"@RAN@", ran.string()}}), true);
    Start refused;
    refused.args = args(SMALL_CAPS, {"greet", "--each", (scratch.path / "carol").string()});
    refused.around = NO_NAMESPACES;
    const Checked classCheck = check(refused);
    EXPECT_EQ(classCheck.status, 1) << classCheck.all();
    EXPECT_NE(classCheck.errors.find("--unconfined"), std::string::npos) << classCheck.all();
    EXPECT_TRUE(fs::is_empty(ran)) << "a version ran";

    // A single check runs, after the note; never as root.
    Start single;
    single.args = args(SMALL_CAPS, {"greet", "./greet"});
    single.folder = scratch.path / "carol";
    single.around = NO_NAMESPACES;
    single.sameOutput = true;
    const Checked note = check(single);
    EXPECT_EQ(note.status, 0) << note.output;
    EXPECT_EQ(note.output.rfind("lessons-check: note: ", 0), 0u) << note.output;
    EXPECT_EQ(note.output.find("ran as root"), std::string::npos) << note.output;
    EXPECT_FALSE(fs::is_empty(ran)) << note.output;

    for (const bool group : {true, false}) {
        const int signal = group ? SIGINT : SIGKILL;
        expectNothingLeft(this->single(NO_NAMESPACES), signal, group, false);
        expectNothingLeft(each({"--unconfined"}, NO_NAMESPACES), signal, group, false);
    }
}

}  // namespace
