#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "harness.h"

Fd::~Fd() {
    if (fd >= 0) {
        close(fd);
    }
}

Fd memoryFile(const std::string& bytes) {
    Fd file(memfd_create("case", MFD_CLOEXEC));
    if (file.fd < 0 || write(file.fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()) ||
        lseek(file.fd, 0, SEEK_SET) != 0) {
        throw std::runtime_error(std::string("cannot fill a file in memory: ") +
                                 std::strerror(errno));
    }
    return file;
}

std::string readAll(const Fd& file) {
    std::string text;
    char buffer[1 << 16];
    lseek(file.fd, 0, SEEK_SET);
    for (ssize_t count; (count = read(file.fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return text;
}

std::vector<fs::path> caseInputs(const fs::path& caseDir) {
    std::vector<fs::path> inputs;
    std::error_code none;  // a program without cases has no folder for them
    for (const auto& entry : fs::directory_iterator(caseDir, none)) {
        if (entry.path().extension() == ".in") {
            inputs.push_back(entry.path());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

// libfaketime stops the clock at the given time.  It is preloaded, so under
// AddressSanitizer the runtime's check that it is loaded first is waived.
Launch caseLaunch(const Options& options) {
    Launch launch(options.positional.at(0));
    if (options.clock.empty()) {
        return launch;
    }
    if (options.clockLibrary.empty() || !fs::exists(options.clockLibrary)) {
        throw CannotRun{"the case needs a stopped clock, and libfaketime is missing",
                        std::getenv("LESSONS_CI") != nullptr ? 1 : SKIPPED};
    }
    const char* asan = std::getenv("ASAN_OPTIONS");
    launch.environment = {{"FAKETIME", options.clock},
                          {"TZ", "UTC"},
                          {"LD_PRELOAD", options.clockLibrary},
                          {"ASAN_OPTIONS", (asan ? asan + std::string(":") : std::string()) +
                                               "verify_asan_link_order=0"}};
    return launch;
}

Deadline deadlineIn(double seconds) {
    return std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
}

pid_t start(const Launch& launch) {
    std::vector<char*> args;
    for (const std::string& arg : launch.argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid > 0) {
        return pid;
    }
    launch.ownTerminal ? setsid() : setpgid(0, 0);
    const int sources[] = {launch.input, launch.output, launch.errors};
    for (int target = 0; target < 3; ++target) {
        if (sources[target] < 0) {
            close(target);
        } else if (dup2(sources[target], target) < 0) {
            _exit(126);
        }
    }
    if (launch.ownTerminal && ioctl(0, TIOCSCTTY, 0) < 0) {
        _exit(126);
    }
    const rlimit noCore{0, 0}, memory{launch.memoryLimit, launch.memoryLimit};
    setrlimit(RLIMIT_CORE, &noCore);
    if (launch.memoryLimit > 0) {
        setrlimit(RLIMIT_AS, &memory);
    }
    signal(SIGPIPE, launch.ignoreBrokenPipe ? SIG_IGN : SIG_DFL);
    for (const auto& [name, value] : launch.environment) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    execvp(args[0], args.data());
    _exit(127);
}

namespace {

RunResult resultOf(int status) {
    return {false, WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            WIFSIGNALED(status) ? WTERMSIG(status) : 0};
}

bool restAMoment() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return false;
}

}  // namespace

RunResult killAndCollect(pid_t pid) {
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return {true, -1, 0};
}

std::optional<RunResult> watch(pid_t pid, Deadline deadline,
                               const std::function<bool()>& meanwhile) {
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return resultOf(status);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return killAndCollect(pid);
        }
        if (meanwhile()) {
            return std::nullopt;
        }
    }
}

RunResult run(const Launch& launch, double timeoutSeconds) {
    return *watch(start(launch), deadlineIn(timeoutSeconds), restAMoment);
}

RunResult runOnInput(Launch launch, const std::string& input, double timeoutSeconds,
                     std::string* output) {
    const Fd in = memoryFile(input);
    const Fd out = output ? memoryFile("") : Fd(open("/dev/null", O_WRONLY | O_CLOEXEC));
    launch.input = in.fd;
    launch.output = out.fd;
    const RunResult result = run(launch, timeoutSeconds);
    if (output) {
        *output = readAll(out);
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
