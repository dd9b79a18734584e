#include "process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

Deadline deadlineIn(double seconds) {
    return std::chrono::steady_clock::now() +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
               std::chrono::duration<double>(seconds));
}

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

ScratchFile::ScratchFile(const char* stem) {
    std::string pattern = (fs::temp_directory_path() / stem).string() + ".XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) {
        throw std::runtime_error("cannot create a scratch file");
    }
    close(fd);
    where = pattern;
}

ScratchFile::~ScratchFile() {
    std::error_code ignored;
    fs::remove(where, ignored);
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        reset();
        fd = other.fd;
        other.fd = -1;
    }
    return *this;
}

void Descriptor::reset() {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

Descriptor openFile(const fs::path& path, int flags) {
    int fd = open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw std::runtime_error("cannot open " + path.string() + ": " + std::strerror(errno));
    }
    return Descriptor(fd);
}

namespace {

// Runs in the child between fork and exec.
[[noreturn]] void becomeChild(const Launch& launch, const std::vector<char*>& args) {
    if (launch.ownTerminal) {
        setsid();
    } else {
        setpgid(0, 0);
    }
    const int sources[] = {launch.input, launch.output, launch.errors};
    for (int target = 0; target < 3; ++target) {
        if (sources[target] < 0) {
            close(target);
        } else if (sources[target] == target) {
            fcntl(target, F_SETFD, 0);  // kept open across exec
        } else if (dup2(sources[target], target) < 0) {
            _exit(126);
        }
    }
    if (launch.ownTerminal && ioctl(0, TIOCSCTTY, 0) < 0) {
        _exit(126);
    }
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    if (launch.memoryLimit > 0) {
        const rlimit memory{launch.memoryLimit, launch.memoryLimit};
        setrlimit(RLIMIT_AS, &memory);
    }
    signal(SIGPIPE, launch.ignoreBrokenPipe ? SIG_IGN : SIG_DFL);
    for (const auto& [name, value] : launch.environment) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    execvp(args[0], args.data());
    _exit(127);
}

}  // namespace

pid_t start(const Launch& launch) {
    std::vector<char*> args;
    for (const std::string& arg : launch.argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        becomeChild(launch, args);
    }
    return pid;
}

RunResult resultOf(int waitStatus) {
    RunResult result;
    if (WIFEXITED(waitStatus)) {
        result.exitStatus = WEXITSTATUS(waitStatus);
    } else if (WIFSIGNALED(waitStatus)) {
        result.signal = WTERMSIG(waitStatus);
    }
    return result;
}

RunResult killAndCollect(pid_t pid) {
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    RunResult result = resultOf(status);
    result.timedOut = true;
    return result;
}

RunResult awaitEnd(pid_t pid, Deadline deadline) {
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return resultOf(status);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return killAndCollect(pid);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

RunResult runWithFiles(const std::vector<std::string>& argv, const Environment& environment,
                       const fs::path& inputPath, const fs::path& outputPath,
                       double timeoutSeconds) {
    Descriptor input = openFile(inputPath, O_RDONLY);
    Descriptor output = openFile(outputPath, O_WRONLY | O_CREAT | O_TRUNC);
    Launch launch;
    launch.argv = argv;
    launch.environment = environment;
    launch.input = input.get();
    launch.output = output.get();
    return awaitEnd(start(launch), deadlineIn(timeoutSeconds));
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
