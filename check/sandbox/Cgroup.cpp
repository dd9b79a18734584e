#include "sandbox/Cgroup.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

#include "cases/ExpectedText.h"
#include "sandbox/Process.h"

namespace {

// In cgroup v2, the leaf the checker moves itself into, so that its own
// cgroup may hand the memory and pids controllers down to the sandboxes'.
const std::string LEAF = "lessons-check";

// How long the processes of a killed cgroup may take to be gone.
constexpr double GONE_WITHIN_SECONDS = 5;

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

bool contains(const std::vector<std::string>& words, const std::string& word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

std::vector<std::string> wordsOf(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// mountinfo writes a blank, a tab, a newline and a backslash in a path as
// \040, \011, \012 and \134.
std::string unescaped(const std::string& field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const std::string code = field.substr(i + 1, 3);
        if (field[i] == '\\' && code.size() == 3 &&
            code.find_first_not_of("01234567") == std::string::npos) {
            text += static_cast<char>(std::stoi(code, nullptr, 8));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

struct Mount {
    std::string root, point;
};

// The cgroup hierarchies mounted here, by controller: "" for cgroup v2.
std::map<std::string, Mount> hierarchies(const std::string& mountinfo) {
    std::map<std::string, Mount> mounts;
    for (const std::string& line : splitLines(mountinfo)) {
        const std::vector<std::string> fields = wordsOf(line);
        const auto separator = std::find(fields.begin(), fields.end(), "-");
        if (separator - fields.begin() < 6 || fields.end() - separator < 4) {
            continue;
        }
        const std::string& type = separator[1];
        const Mount mount{unescaped(fields[3]), unescaped(fields[4])};
        if (type == "cgroup2") {
            mounts.emplace("", mount);
        } else if (type == "cgroup") {
            for (const std::string& option : split(separator[3], ',')) {
                mounts.emplace(option, mount);
            }
        }
    }
    return mounts;
}

// The process's own cgroup in each hierarchy, by controller: "" for v2.
std::map<std::string, std::string> ownPaths(const std::string& ownCgroups) {
    std::map<std::string, std::string> paths;
    for (const std::string& line : splitLines(ownCgroups)) {
        const std::size_t first = line.find(':'), second = line.find(':', first + 1);
        if (second == std::string::npos) {
            continue;
        }
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (controllers.empty()) {
            paths[""] = path;
        }
        for (const std::string& controller : split(controllers, ',')) {
            paths[controller] = path;
        }
    }
    return paths;
}

// Where the process's cgroup in a hierarchy lies under the hierarchy's
// mount, which may show only a folder of it (a container's): "" when that
// folder does not hold it.
std::string folderOf(const std::map<std::string, Mount>& mounts,
                     const std::map<std::string, std::string>& paths, const std::string& key) {
    const auto mount = mounts.find(key);
    const auto path = paths.find(key);
    if (mount == mounts.end() || path == paths.end()) {
        return "";
    }
    const std::string& root = mount->second.root;
    std::string below = path->second;
    if (root != "/") {
        if (below != root && below.rfind(root + "/", 0) != 0) {
            return "";
        }
        below = below.substr(root.size());
    }
    return below == "/" ? mount->second.point : mount->second.point + below;
}

std::string contentsOf(const std::string& path) {
    std::ifstream in(path);
    return in ? std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())
              : "";
}

// Writes the text in one write, as cgroup files want; errno tells why not.
bool writeTo(const std::string& path, const std::string& text) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = write(fd, text.data(), text.size()) == ssize_t(text.size());
    const int error = errno;
    close(fd);
    errno = error;
    return written;
}

// A new cgroup's caps are unbounded until set.
bool setCap(const std::string& path, unsigned long long value) {
    return value == 0 || writeTo(path, std::to_string(value));
}

// A count in a cgroup's file of "key value" lines (0 when missing).
unsigned long long countIn(const std::string& text, const std::string& key) {
    const std::vector<std::string> words = wordsOf(text);
    for (std::size_t i = 0; i + 1 < words.size(); i += 2) {
        if (words[i] == key) {
            return std::stoull(words[i + 1]);
        }
    }
    return 0;
}

std::vector<pid_t> pidsIn(const std::string& procsFile) {
    std::vector<pid_t> pids;
    for (const long long pid : numbersIn(contentsOf(procsFile))) {
        pids.push_back(static_cast<pid_t>(pid));
    }
    return pids;
}

bool givesMemoryAndPids(const std::string& controllersFile) {
    const std::vector<std::string> controllers = wordsOf(contentsOf(controllersFile));
    return contains(controllers, "memory") && contains(controllers, "pids");
}

// systemd marks a folder it delegates with an extended attribute.
bool markedDelegated(const std::string& folder) {
    for (const char* const name : {"trusted.delegate", "user.delegate"}) {
        char value[8] = {};
        if (getxattr(folder.c_str(), name, value, sizeof value - 1) > 0 && value[0] == '1') {
            return true;
        }
    }
    return false;
}

// Moves every process of the folder into its leaf: only where they are
// this checker alone, or the folder is delegated, so that nobody else's
// processes are moved.
bool moveIntoLeaf(const std::string& folder, std::string* whyNot) {
    const std::vector<pid_t> there = pidsIn(folder + "/cgroup.procs");
    const bool onlyThis =
        std::all_of(there.begin(), there.end(), [](pid_t pid) { return pid == getpid(); });
    if (!onlyThis && !markedDelegated(folder)) {
        *whyNot = folder + " holds other processes and is not delegated";
        return false;
    }
    const std::string leaf = folder + "/" + LEAF;
    bool moved = mkdir(leaf.c_str(), 0755) == 0 || errno == EEXIST;
    for (const pid_t pid : there) {
        moved = moved && (writeTo(leaf + "/cgroup.procs", std::to_string(pid)) || errno == ESRCH);
    }
    if (!moved) {
        *whyNot = "cannot move the checker into " + leaf + ": " + std::strerror(errno);
    }
    return moved;
}

// Hands the memory and pids controllers down from the folder.  A cgroup v2
// folder with processes of its own cannot, but for the root: they go into
// a leaf first.
bool handedDown(const std::string& folder, std::string* whyNot) {
    const std::string subtree = folder + "/cgroup.subtree_control";
    if (givesMemoryAndPids(subtree)) {
        return true;
    }
    if (!givesMemoryAndPids(folder + "/cgroup.controllers")) {
        *whyNot = folder + " is given no memory and pids controllers";
        return false;
    }
    if (writeTo(subtree, "+memory +pids")) {
        return true;
    }
    if (errno != EBUSY) {
        *whyNot = "cannot enable memory and pids in " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (!moveIntoLeaf(folder, whyNot)) {
        return false;
    }
    if (!writeTo(subtree, "+memory +pids")) {
        *whyNot = "cannot enable memory and pids in " + folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// A pid read from cgroup.procs may be another process's by the time it is
// signalled.  Each is held by a pidfd first, and signalled only if it is
// still listed afterwards while the pidfd shows it alive: then the pid was
// its all along.
void killListed(const SandboxCgroup& cgroup, const std::vector<pid_t>& listed) {
    std::vector<std::pair<pid_t, Fd>> held;
    for (const pid_t pid : listed) {
        Fd handle(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
        if (handle.get() >= 0) {
            held.emplace_back(pid, std::move(handle));
        }
    }
    const std::vector<pid_t> still = cgroup.processes();
    for (const auto& [pid, handle] : held) {
        pollfd exited{handle.get(), POLLIN, 0};
        if (std::find(still.begin(), still.end(), pid) != still.end() && poll(&exited, 1, 0) == 0) {
            syscall(SYS_pidfd_send_signal, handle.get(), SIGKILL, nullptr, 0);
        }
    }
}

void waitAMoment() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool before(const Deadline& deadline) {
    return std::chrono::steady_clock::now() < deadline;
}

}  // namespace

CgroupPlaces cgroupPlaces(const std::string& mountinfo, const std::string& ownCgroups) {
    const std::map<std::string, Mount> mounts = hierarchies(mountinfo);
    std::map<std::string, std::string> paths = ownPaths(ownCgroups);
    auto unified = paths.find("");
    if (unified != paths.end()) {
        const std::string& path = unified->second;
        const std::size_t slash = path.rfind('/');
        if (slash != std::string::npos && path.substr(slash + 1) == LEAF) {
            unified->second = slash == 0 ? "/" : path.substr(0, slash);
        }
    }
    return {folderOf(mounts, paths, ""), folderOf(mounts, paths, "memory"),
            folderOf(mounts, paths, "pids")};
}

std::unique_ptr<SandboxCgroup> SandboxCgroup::make(const CgroupCaps& caps, std::string* whyNot) {
    const CgroupPlaces places =
        cgroupPlaces(contentsOf("/proc/self/mountinfo"), contentsOf("/proc/self/cgroup"));
    std::string whyNotUnified = "not mounted", whyNotSplit;
    if (!places.unified.empty()) {
        if (auto cgroup = makeUnified(places.unified, caps, &whyNotUnified)) {
            return cgroup;
        }
    }
    if (auto cgroup = makeSplit(places, caps, &whyNotSplit)) {
        return cgroup;
    }
    if (whyNot != nullptr) {
        *whyNot = "cgroup v2: " + whyNotUnified + "; cgroup v1: " + whyNotSplit;
    }
    return nullptr;
}

std::unique_ptr<SandboxCgroup> SandboxCgroup::makeUnified(const std::string& parent,
                                                          const CgroupCaps& caps,
                                                          std::string* whyNot) {
    if (!handedDown(parent, whyNot)) {
        return nullptr;
    }
    std::unique_ptr<SandboxCgroup> cgroup(new SandboxCgroup(true, caps));
    if (!cgroup->add(parent, whyNot)) {
        return nullptr;
    }
    const std::string& folder = cgroup->where.front();
    const unsigned tasks = caps.tasks == 0 ? 0 : caps.tasks + caps.sandboxTasks;
    if (!setCap(folder + "/memory.max", caps.memoryBytes) || !setCap(folder + "/pids.max", tasks)) {
        *whyNot = "cannot set the caps of " + folder + ": " + std::strerror(errno);
        return nullptr;
    }
    // memory.max holds memory alone: no swap besides it, where swap is counted.
    if (caps.memoryBytes > 0) {
        writeTo(folder + "/memory.swap.max", "0");
    }
    return cgroup;
}

std::unique_ptr<SandboxCgroup> SandboxCgroup::makeSplit(const CgroupPlaces& places,
                                                        const CgroupCaps& caps,
                                                        std::string* whyNot) {
    if (places.memory.empty() || places.pids.empty()) {
        *whyNot = "no memory and pids hierarchies";
        return nullptr;
    }
    std::unique_ptr<SandboxCgroup> cgroup(new SandboxCgroup(false, caps));
    if (!cgroup->add(places.memory, whyNot) ||
        (places.pids != places.memory && !cgroup->add(places.pids, whyNot))) {
        return nullptr;
    }
    const std::string &memory = cgroup->where.front(), &pids = cgroup->where.back();
    const unsigned tasks = caps.tasks == 0 ? 0 : caps.tasks + caps.sandboxTasks;
    // Memory and swap together may not be capped below memory alone: memory first.
    const std::string withSwap = memory + "/memory.memsw.limit_in_bytes";
    if (!setCap(memory + "/memory.limit_in_bytes", caps.memoryBytes) ||
        (access(withSwap.c_str(), F_OK) == 0 && !setCap(withSwap, caps.memoryBytes)) ||
        !setCap(pids + "/pids.max", tasks)) {
        *whyNot = "cannot set the caps of " + memory + ": " + std::strerror(errno);
        return nullptr;
    }
    return cgroup;
}

bool SandboxCgroup::add(const std::string& parent, std::string* whyNot) {
    // A checker that crashed leaves its folders empty; another that
    // happens to have the same pid (in another PID namespace) takes the
    // next number.
    static std::atomic<unsigned> made{0};
    for (int tries = 0; tries < 100; ++tries) {
        const std::string folder =
            parent + "/lessons-check." + std::to_string(getpid()) + "." + std::to_string(made++);
        if (mkdir(folder.c_str(), 0755) == 0) {
            where.push_back(folder);
            procsFiles.push_back(folder + "/cgroup.procs");
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    *whyNot = "cannot make a cgroup in " + parent + ": " + std::strerror(errno);
    return false;
}

SandboxCgroup::~SandboxCgroup() {
    killAll();
    for (const std::string& folder : where) {
        // Busy for a moment while the last processes exit.
        const Deadline deadline = deadlineIn(GONE_WITHIN_SECONDS);
        while (rmdir(folder.c_str()) < 0 && errno == EBUSY && before(deadline)) {
            waitAMoment();
        }
    }
}

bool SandboxCgroup::join(pid_t pid) const {
    char digits[24];
    const std::size_t length =
        static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, pid).ptr - digits);
    bool joined = true;
    for (const std::string& file : procsFiles) {
        const int fd = open(file.c_str(), O_WRONLY | O_CLOEXEC);
        joined = joined && fd >= 0 && write(fd, digits, length) == ssize_t(length);
        if (fd >= 0) {
            close(fd);
        }
    }
    return joined;
}

std::string SandboxCgroup::overCap() {
    const std::string &memory = where.front(), &pids = where.back();
    const unsigned long long refused = countIn(contentsOf(pids + "/pids.events"), "max");
    unsigned long long stops = 0;
    if (unified) {
        const std::string events = contentsOf(memory + "/memory.events");
        stops = countIn(events, "oom") + countIn(events, "oom_kill");
    } else {
        stops = countIn(contentsOf(memory + "/memory.oom_control"), "oom_kill");
    }
    // A kill stops a run for certain, a refused fork only where the run
    // gives up: the kill is named first.
    std::string cap;
    if (stops > memoryStops) {
        cap = "its cap of " + std::to_string(caps.memoryBytes >> 20) +
              " MiB of memory (--max-memory)";
    } else if (refused > tasksRefused) {
        cap = "its cap of " + std::to_string(caps.tasks) + " processes and threads (--max-tasks)";
    }
    memoryStops = stops;
    tasksRefused = refused;
    return cap;
}

std::vector<pid_t> SandboxCgroup::processes() const {
    std::vector<pid_t> all;
    for (const std::string& file : procsFiles) {
        for (const pid_t pid : pidsIn(file)) {
            if (std::find(all.begin(), all.end(), pid) == all.end()) {
                all.push_back(pid);
            }
        }
    }
    return all;
}

bool SandboxCgroup::killRound() {
    const std::vector<pid_t> listed = processes();
    if (listed.empty()) {
        return false;
    }
    // cgroup.kill (Linux 5.14) ends them all at once, with what they fork.
    if (!unified || !writeTo(where.front() + "/cgroup.kill", "1")) {
        killListed(*this, listed);
    }
    return true;
}

void SandboxCgroup::killAll() {
    const Deadline deadline = deadlineIn(GONE_WITHIN_SECONDS);
    while (killRound() && before(deadline)) {
        waitAMoment();
    }
}
