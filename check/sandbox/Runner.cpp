#include "sandbox/Runner.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "cases/ExpectedText.h"
#include "sandbox/Cgroup.h"
#include "sandbox/Paths.h"
#include "sandbox/Run.h"

namespace fs = std::filesystem;

LocalRunner::LocalRunner(Setup setup) : supervisor(std::move(setup)) {}

void LocalRunner::start(const RunRequest& request, int input, int output, int errors) {
    supervisor.start(request, input, output, errors);
}

std::vector<std::pair<long, int>> LocalRunner::processes() const {
    return supervisor.running() ? processTree(supervisor.topProcess())
                                : std::vector<std::pair<long, int>>{};
}

namespace {

// The system's programs, libraries and the settings they read; nothing of
// the users' files.
const char* const SYSTEM_FOLDERS[] = {"/usr", "/opt"};
const char* const TOP_FOLDERS[] = {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"};
const char* const SETTINGS[] = {"/etc/alternatives", "/etc/ld.so.cache",   "/etc/ld.so.conf",
                                "/etc/ld.so.conf.d", "/etc/localtime",     "/etc/passwd",
                                "/etc/group",        "/etc/nsswitch.conf", "/etc/timezone"};

// Inside the sandbox: the supervisor's own folder, which no run sees.
const std::string HIDDEN = "/run/lessons-check";

// The levels of processes above a run's program: bubblewrap's own, the
// first process of its PID namespace, the supervisor, and the process that
// starts each run in namespaces of its own; unconfined, the supervisor alone.
constexpr int LEVELS_ABOVE_PROGRAM = 4, LEVELS_ABOVE_UNCONFINED = 1;

// The user a run has inside the sandbox when the checker is root, and the
// unprivileged user of the machine it is outside: nobody.
constexpr int RUN_USER_INSIDE = 1000;
constexpr int NOBODY = 65534;

void add(std::vector<std::string>& args, std::initializer_list<std::string> more) {
    args.insert(args.end(), more);
}

void addSystem(std::vector<std::string>& args) {
    std::error_code none;
    for (const char* const folder : SYSTEM_FOLDERS) {
        if (fs::is_directory(folder, none)) {
            add(args, {"--ro-bind", folder, folder});
        }
    }
    for (const char* const top : TOP_FOLDERS) {
        if (fs::is_symlink(top, none)) {
            add(args, {"--symlink", fs::read_symlink(top, none).string(), top});
        } else if (fs::is_directory(top, none)) {
            add(args, {"--ro-bind", top, top});
        }
    }
    // Folders bubblewrap makes are open only to their maker unless told.
    add(args, {"--perms", "0755", "--dir", "/etc", "--perms", "0755", "--dir", "/run"});
    for (const char* const settings : SETTINGS) {
        add(args, {"--ro-bind-try", settings, settings});
    }
    // Java reads its settings under /etc/java-17-openjdk and the like.
    for (const auto& entry : fs::directory_iterator("/etc", none)) {
        if (entry.path().filename().string().rfind("java", 0) == 0) {
            add(args, {"--ro-bind", entry.path().string(), entry.path().string()});
        }
    }
    add(args, {"--proc", "/proc", "--dev", "/dev", "--tmpfs", "/tmp"});
}

// Every folder above the path, from the top, made where it is not there
// yet, and open to the run's user whatever the host's are.
void addFoldersAbove(std::vector<std::string>& args, const fs::path& path) {
    fs::path above;
    for (auto part = path.begin(); part != path.end() && std::next(part) != path.end(); ++part) {
        above /= *part;
        if (above != "/" && !isWithin(above, "/usr") && !isWithin(above, "/etc")) {
            add(args, {"--perms", "0755", "--dir", above.string()});
        }
    }
}

// What the version must not see even where the system's folders show it.
// Elsewhere nothing shows it: the copies of a version's files leave it out,
// and no shown file is one.
void addMasks(std::vector<std::string>& args, const SandboxPlan& plan) {
    std::error_code none;
    for (const std::string& path : plan.masked) {
        if (!isSystemPath(path)) {
            continue;
        }
        if (fs::exists(path, none)) {
            addFoldersAbove(args, path);
        }
        if (fs::is_directory(path, none)) {
            add(args, {"--tmpfs", path, "--remount-ro", path});
        } else if (fs::exists(path, none)) {
            add(args, {"--ro-bind", "/dev/null", path});
        }
    }
}

bool inTemporary(const std::string& path) {
    return path == "/tmp" || isWithin(path, "/tmp");
}

// Whether each run puts a shown file in place itself, after its own /tmp
// and the version's folders, which would hide it: one that lies in them.
bool placedByRun(const SandboxPlan& plan, const std::string& path) {
    // Nothing is laid over / for a version run from there.
    return inTemporary(path) || std::any_of(plan.own.begin(), plan.own.end(), [&](const auto& own) {
               return own.second != "/" && isWithin(path, own.second);
           });
}

std::vector<std::string> sandboxArguments(const std::string& bwrap, const SandboxPlan& plan,
                                          const std::string& supervisorProgram) {
    std::vector<std::string> args = {bwrap,
                                     "--unshare-ipc",
                                     "--unshare-pid",
                                     "--unshare-net",
                                     "--unshare-uts",
                                     "--unshare-cgroup-try",
                                     "--die-with-parent",
                                     "--cap-add",
                                     "ALL"};
    if (plan.asRoot) {
        add(args, {"--userns", "4", "--uid", "0", "--gid", "0"});
    } else {
        add(args, {"--unshare-user"});
    }
    addSystem(args);
    addMasks(args, plan);
    add(args,
        {"--dir", HIDDEN + "/scratch", "--ro-bind", supervisorProgram, HIDDEN + "/supervisor"});
    // What lies in /tmp is put in place by each run, in its own /tmp.
    for (std::size_t i = 0; i < plan.own.size(); ++i) {
        const auto& [staged, seen] = plan.own[i];
        add(args, {"--ro-bind", staged, HIDDEN + "/own/" + std::to_string(i)});
        if (!inTemporary(seen) && seen != "/") {
            addFoldersAbove(args, seen);
            add(args, {"--perms", "0755", "--dir", seen});
        }
    }
    for (std::size_t i = 0; i < plan.shown.size(); ++i) {
        const auto& [host, seen] = plan.shown[i];
        if (placedByRun(plan, seen)) {
            add(args, {"--ro-bind", host, HIDDEN + "/shown/" + std::to_string(i)});
        } else {
            addFoldersAbove(args, seen);
            add(args, {"--ro-bind", host, seen});
        }
    }
    for (const auto& [where, target] : plan.links) {
        if (!inTemporary(where)) {
            addFoldersAbove(args, where);
            add(args, {"--symlink", target, where});
        }
    }
    add(args, {"--perms", "01777", "--size", std::to_string(plan.limits.writableBytes), "--tmpfs",
               ConfinedRunner::BUILD_FOLDER, "--remount-ro", "/dev", "--remount-ro", "/", "--chdir",
               "/", "--", HIDDEN + "/supervisor", SUPERVISE, "3"});
    return args;
}

// A user namespace in which root (0) is root outside, for the sandbox to be
// made, and RUN_USER_INSIDE is nobody, for the runs.  Only root may map a
// user other than its own.
Fd rootUserNamespace() {
    auto [readyIn, readyOut] = makePipe();
    auto [goIn, goOut] = makePipe();
    const pid_t holder = fork();
    if (holder == 0) {
        goOut = Fd();
        readyIn = Fd();
        char byte = unshare(CLONE_NEWUSER) == 0 ? 'y' : 'n';
        ssize_t ignored = write(readyOut.get(), &byte, 1);
        ignored = read(goIn.get(), &byte, 1);
        (void)ignored;
        _exit(0);
    }
    readyOut = Fd();
    goIn = Fd();
    char byte = 'n';
    Fd userNamespace;
    if (read(readyIn.get(), &byte, 1) == 1 && byte == 'y') {
        const std::string process = "/proc/" + std::to_string(holder) + "/";
        const std::string map =
            "0 0 1\n" + std::to_string(RUN_USER_INSIDE) + " " + std::to_string(NOBODY) + " 1\n";
        bool mapped = true;
        for (const char* file : {"uid_map", "gid_map"}) {
            const Fd out(open((process + file).c_str(), O_WRONLY | O_CLOEXEC));
            mapped = mapped && write(out.get(), map.data(), map.size()) == ssize_t(map.size());
        }
        if (mapped) {
            userNamespace = Fd(open((process + "ns/user").c_str(), O_RDONLY | O_CLOEXEC));
        }
    }
    goOut = Fd();
    waitpid(holder, nullptr, 0);
    if (userNamespace.get() < 0) {
        throw std::runtime_error("cannot make a user namespace for the sandbox: " +
                                 std::string(std::strerror(errno)));
    }
    return userNamespace;
}

// In the new process, between fork and exec: its descriptors are exactly
// /dev/null, /dev/null, the pipe for bubblewrap's messages, the channel and
// (for root) the user namespace; no terminal, no group of root's.
[[noreturn]] void becomeSandbox(const std::vector<std::string>& args, int errors, int channel,
                                int userNamespace, const SandboxCgroup* cgroup, bool unconfined) {
    setsid();
    if (unconfined) {
        // Asked to end when the checker ends, however it ends: it then ends
        // what the runs left.  bubblewrap dies with the checker by itself.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
    } else {
        setgroups(0, nullptr);
    }
    if (cgroup != nullptr && !cgroup->join(0)) {
        const char why[] = "cannot join the sandbox's cgroup\n";
        ssize_t ignored = write(errors, why, sizeof why - 1);
        (void)ignored;
        _exit(127);
    }
    const int nothing = open("/dev/null", O_RDWR);
    const int sources[] = {nothing, nothing, errors, channel, userNamespace};
    int moved[5];
    for (int i = 0; i < 5; ++i) {
        moved[i] = sources[i] < 0 ? -1 : fcntl(sources[i], F_DUPFD, 10);
    }
    for (int target = 0; target < 5; ++target) {
        if (moved[target] >= 0) {
            dup2(moved[target], target);
        }
    }
    close_range(5, ~0u, 0);
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// Waits up to the time for a message on the channel.
bool receiveWithin(int channel, Message& message, std::vector<Fd>& descriptors, int milliseconds) {
    pollfd ready{channel, POLLIN, 0};
    int count;
    do {
        count = poll(&ready, 1, milliseconds);
    } while (count < 0 && errno == EINTR);
    return count > 0 && receive(channel, message, descriptors);
}

// What bubblewrap said of why it failed: its first line.
std::string firstLine(int errors) {
    fcntl(errors, F_SETFL, O_NONBLOCK);
    std::string said;
    drainInto(errors, said, 4096);
    const std::vector<std::string> lines = splitLines(said);
    return lines.empty() ? "the sandbox ended as it started" : lines.front();
}

constexpr int SANDBOX_START_MS = 10000;

}  // namespace

ConfinedRunner::ConfinedRunner(SandboxPlan plan, std::string bwrap, std::string supervisorProgram)
    : plan(std::move(plan)),
      bwrap(std::move(bwrap)),
      supervisorProgram(std::move(supervisorProgram)) {}

ConfinedRunner::~ConfinedRunner() {
    endSandbox();
}

Setup ConfinedRunner::setupOfSupervisor() const {
    if (plan.unconfined) {
        return plan.unconfinedSetup;
    }
    Setup setup;
    setup.namespaced = true;
    for (std::size_t i = 0; i < plan.own.size(); ++i) {
        setup.own.emplace_back(HIDDEN + "/own/" + std::to_string(i), plan.own[i].second);
    }
    for (std::size_t i = 0; i < plan.shown.size(); ++i) {
        if (placedByRun(plan, plan.shown[i].second)) {
            setup.shown.emplace_back(HIDDEN + "/shown/" + std::to_string(i), plan.shown[i].second);
        }
    }
    setup.buildFolder = BUILD_FOLDER;
    setup.hidden = HIDDEN;
    setup.limits = plan.limits;
    if (plan.asRoot) {
        setup.runUser = setup.runGroup = RUN_USER_INSIDE;
    } else {
        // bubblewrap's first process, the supervisor, a run's starter, the
        // next run's made ahead and the last one's on its way out count
        // against the same user's tasks.
        setup.tasksAlready = 5;
    }
    return setup;
}

std::vector<std::string> ConfinedRunner::argumentsOfSupervisor() const {
    return plan.unconfined ? std::vector<std::string>{supervisorProgram, SUPERVISE, "3"}
                           : sandboxArguments(bwrap, plan, supervisorProgram);
}

void ConfinedRunner::startSandbox() {
    if (!cgroupTried && plan.memoryCap > 0) {
        // The kernel's own accounting, where the machine gives it: made once,
        // emptied by every end of the sandbox.
        cgroupTried = true;
        std::string whyNot;
        // Above the runs besides the levels: the next run's first process,
        // made ahead, and the last one's, on its way out.
        cgroup = SandboxCgroup::make({plan.memoryCap, plan.limits.tasks, LEVELS_ABOVE_PROGRAM + 2},
                                     &whyNot);
    }
    auto [here, there] = makeChannel();
    auto [errorsIn, errorsOut] = makePipe();
    Fd userNamespace = plan.asRoot && !plan.unconfined ? rootUserNamespace() : Fd();
    const std::vector<std::string> args = argumentsOfSupervisor();
    sandbox = fork();
    if (sandbox < 0) {
        throw std::runtime_error(std::string("cannot fork: ") + std::strerror(errno));
    } else if (sandbox == 0) {
        becomeSandbox(args, errorsOut.get(), there.get(), userNamespace.get(), cgroup.get(),
                      plan.unconfined);
    }
    keepChild(sandbox);
    there = Fd();
    errorsOut = Fd();
    channel = std::move(here);
    // Every wait for the supervisor is a poll first.
    fcntl(channel.get(), F_SETFL, O_NONBLOCK);
    errors = std::move(errorsIn);
    Message ready;
    std::vector<Fd> descriptors;
    if (!send(channel.get(), toMessage(setupOfSupervisor())) ||
        !receiveWithin(channel.get(), ready, descriptors, SANDBOX_START_MS) ||
        ready.kind != "ready") {
        const std::string why = firstLine(errors.get());
        endSandbox();
        throw CannotStart("cannot make the version's sandbox: " + why);
    }
}

void ConfinedRunner::endSandbox() {
    channel = Fd();
    if (sandbox > 0) {
        if (plan.unconfined) {
            // It ends what its runs left, once its channel has closed.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (waitpid(sandbox, nullptr, WNOHANG) == 0 &&
                   std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        kill(sandbox, SIGKILL);
        waitpid(sandbox, nullptr, 0);
        forgetChild(sandbox);
    }
    if (cgroup) {
        cgroup->killAll();
    }
    sandbox = -1;
    errors = Fd();
    runGoing = false;
}

void ConfinedRunner::start(const RunRequest& request, int input, int output, int errorsFd) {
    if (sandbox < 0) {
        startSandbox();
    }
    Message answer;
    std::vector<Fd> descriptors;
    if (!send(channel.get(), toMessage(request), {input, output, errorsFd}) ||
        !receiveWithin(channel.get(), answer, descriptors, SANDBOX_START_MS)) {
        const std::string why = firstLine(errors.get());
        endSandbox();
        throw std::runtime_error("the version's sandbox ended unexpectedly: " + why);
    }
    if (answer.kind == "cannot-start") {
        throw CannotStart(answer.get("why").substr(0, 1000));
    } else if (answer.kind != "started") {
        endSandbox();
        throw std::runtime_error("the version's sandbox answered out of turn");
    }
    runGoing = true;
    runsProgram = -1;
}

std::vector<int> ConfinedRunner::watched() const {
    return channel.get() >= 0 ? std::vector<int>{channel.get()} : std::vector<int>{};
}

std::vector<RunEvent> ConfinedRunner::handle() {
    std::vector<RunEvent> events;
    if (channel.get() < 0) {
        return events;
    }
    for (;;) {
        Message message;
        std::vector<Fd> descriptors;
        bool wouldBlock = false;
        if (!receive(channel.get(), message, descriptors, &wouldBlock)) {
            if (!wouldBlock) {
                // The sandbox is gone, and the run with it.
                const bool wasGoing = runGoing;
                endSandbox();
                if (wasGoing) {
                    events.push_back({RunEvent::Ended, SIGKILL});
                }
            }
            break;
        }
        if (message.kind == "may-wait") {
            events.push_back({RunEvent::MayWait, 0});
        } else if (message.kind == "ended" && runGoing) {
            runGoing = false;
            events.push_back(
                {RunEvent::Ended, static_cast<int>(message.number("status", SIGKILL))});
        }
    }
    return events;
}

void ConfinedRunner::stop() {
    if (runGoing && !send(channel.get(), Message{"stop", {}})) {
        endSandbox();
    }
}

std::vector<std::pair<long, int>> ConfinedRunner::processes() const {
    std::vector<std::pair<long, int>> below;
    if (sandbox <= 0 || !runGoing) {
        return below;
    }
    // From the run's program down, once it is known: the levels above it
    // are the same throughout the run, and looked at on every wait.
    if (runsProgram > 0) {
        below = processTree(runsProgram);
        // The program may end while it is looked at: a question, not an error.
        std::error_code ended;
        if (below.size() > 1 ||
            fs::exists("/proc/" + std::to_string(runsProgram) + "/task", ended)) {
            return below;
        }
        below.clear();
    }
    const int above = plan.unconfined ? LEVELS_ABOVE_UNCONFINED : LEVELS_ABOVE_PROGRAM;
    for (const auto& [pid, depth] : processTree(sandbox)) {
        if (depth >= above) {
            below.emplace_back(pid, depth - above);
        }
    }
    // The one process at the program's level is the program.
    const auto programs = std::count_if(below.begin(), below.end(),
                                        [](const auto& process) { return process.second == 0; });
    runsProgram = programs == 1 ? below.front().first : -1;
    return below;
}

std::string ConfinedRunner::overCap() {
    return cgroup ? cgroup->overCap() : "";
}

std::string whyNoSandbox(const std::string& bwrap) {
    if (bwrap.empty()) {
        return "bubblewrap (bwrap) is not installed";
    }
    // The namespaces a version's sandbox has, around a program that does
    // nothing: what the kernel or a container forbids, it forbids here.
    std::vector<std::string> args = {bwrap, "--unshare-all", "--die-with-parent"};
    addSystem(args);
    add(args, {"--", "true"});
    RunRequest request;
    request.argv = args;
    request.environment = {{"PATH", "/usr/bin:/bin"}};
    LocalRunner runner;
    std::string output, errors;
    try {
        const RunResult result = runPiped(runner, request, "", 10, &output, 4096, &errors, 4096);
        if (result.endedWell()) {
            return "";
        }
        const std::string said = errors.substr(0, errors.find('\n'));
        return said.empty() ? "a run in the sandbox " + result.describe(10) : said;
    } catch (const std::exception& error) {
        return error.what();
    }
}
