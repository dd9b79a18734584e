#include "sandbox/Supervisor.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <poll.h>
#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/pidfd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "cases/ExpectedText.h"

namespace fs = std::filesystem;

namespace {

std::string flag(bool value) {
    return value ? "1" : "0";
}

}  // namespace

Message toMessage(const RunRequest& request) {
    Message message{"run", {}};
    for (const std::string& arg : request.argv) {
        message.add("arg", arg);
    }
    for (const auto& [name, value] : request.environment) {
        message.add("env", name + "=" + value);
    }
    message.add("folder", request.folder);
    message.add("terminal", flag(request.terminal));
    message.add("watch", flag(request.watchInput));
    message.add("build", flag(request.build));
    message.add("sigpipe-ignored", flag(request.ignoreBrokenPipe));
    message.add("address-space", std::to_string(request.addressSpace));
    return message;
}

RunRequest requestFrom(const Message& message) {
    RunRequest request;
    request.argv = message.all("arg");
    for (const std::string& variable : message.all("env")) {
        const std::size_t equals = variable.find('=');
        if (equals != std::string::npos) {
            request.environment.emplace_back(variable.substr(0, equals),
                                             variable.substr(equals + 1));
        }
    }
    request.folder = message.get("folder");
    request.terminal = message.get("terminal") == "1";
    request.watchInput = message.get("watch") == "1";
    request.build = message.get("build") == "1";
    request.ignoreBrokenPipe = message.get("sigpipe-ignored") == "1";
    request.addressSpace = static_cast<unsigned long long>(message.number("address-space"));
    return request;
}

Message toMessage(const Setup& setup) {
    Message message{"setup", {}};
    message.add("namespaced", flag(setup.namespaced));
    for (const auto& [staged, seen] : setup.own) {
        message.add("own", staged);
        message.add("seen-at", seen);
    }
    for (const auto& [inside, seen] : setup.shown) {
        message.add("shown", inside);
        message.add("shown-at", seen);
    }
    message.add("build-folder", setup.buildFolder);
    message.add("hidden", setup.hidden);
    message.add("tasks", std::to_string(setup.limits.tasks));
    message.add("memory", std::to_string(setup.limits.memoryBytes));
    message.add("files", std::to_string(setup.limits.files));
    message.add("writable", std::to_string(setup.limits.writableBytes));
    message.add("tasks-already", std::to_string(setup.tasksAlready));
    message.add("user", std::to_string(setup.runUser));
    message.add("group", std::to_string(setup.runGroup));
    return message;
}

Setup setupFrom(const Message& message) {
    Setup setup;
    setup.namespaced = message.get("namespaced") == "1";
    const std::vector<std::string> staged = message.all("own"), seen = message.all("seen-at");
    for (std::size_t i = 0; i < staged.size() && i < seen.size(); ++i) {
        setup.own.emplace_back(staged[i], seen[i]);
    }
    const std::vector<std::string> inside = message.all("shown"), at = message.all("shown-at");
    for (std::size_t i = 0; i < inside.size() && i < at.size(); ++i) {
        setup.shown.emplace_back(inside[i], at[i]);
    }
    setup.buildFolder = message.get("build-folder");
    setup.hidden = message.get("hidden");
    setup.limits.tasks = static_cast<unsigned>(message.number("tasks"));
    setup.limits.memoryBytes = static_cast<unsigned long long>(message.number("memory"));
    setup.limits.files = static_cast<unsigned>(message.number("files"));
    setup.limits.writableBytes = static_cast<unsigned long long>(message.number("writable"));
    setup.tasksAlready = static_cast<unsigned>(message.number("tasks-already"));
    setup.runUser = static_cast<int>(message.number("user", -1));
    setup.runGroup = static_cast<int>(message.number("group", -1));
    return setup;
}

namespace {

// What the program's side may still do between fork and exec: no
// allocation after the limits are set, no exceptions.

void setLimit(int resource, unsigned long long value) {
    if (value == 0) {
        return;
    }
    const rlim_t limit =
        static_cast<rlim_t>(std::min<unsigned long long>(value, RLIM_INFINITY - 1));
    const rlimit both{limit, limit};
    setrlimit(resource, &both);
}

// The system calls in which a program may sit waiting for input: a read of
// its standard input, or a wait on several descriptors.  Each is let through
// at once; the notification only tells the checker to look.
const char* const READS[] = {"read", "readv", "pread64", "preadv", "preadv2"};
const char* const WAITS[] = {"poll",       "ppoll",       "select",       "pselect6",
                             "epoll_wait", "epoll_pwait", "epoll_pwait2", "_newselect"};

// Installs the filter and hands its listener over the socket; false when
// the kernel has no notifications to give.
bool watchInputCalls(int listenerSocket) {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    if (filter == nullptr) {
        return false;
    }
    // Written out rather than with SCMP_A0, whose compound literal is C.
    const scmp_arg_cmp onStandardInput{0, SCMP_CMP_EQ, 0, 0};
    for (const char* const name : READS) {
        const int call = seccomp_syscall_resolve_name(name);
        if (call >= 0) {
            seccomp_rule_add_array(filter, SCMP_ACT_NOTIFY, call, 1, &onStandardInput);
        }
    }
    for (const char* const name : WAITS) {
        const int call = seccomp_syscall_resolve_name(name);
        if (call >= 0) {
            seccomp_rule_add(filter, SCMP_ACT_NOTIFY, call, 0);
        }
    }
    const bool loaded = seccomp_load(filter) == 0;
    const int listener = loaded ? seccomp_notify_fd(filter) : -1;
    if (listener >= 0) {
        send(listenerSocket, Message{"listener", {}}, {listener});
        close(listener);
    }
    seccomp_release(filter);
    return listener >= 0;
}

// Capabilities that a supervisor had in its namespace are none of a
// version's.  The bounding set goes first, while the supervisor may still
// change it; changing users then takes the rest, or capset does.
void dropBoundingCapabilities() {
    for (int cap = 0; cap <= 63; ++cap) {
        prctl(PR_CAPBSET_DROP, cap, 0, 0, 0);
    }
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
}

void dropCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[2] = {};
    syscall(SYS_capset, &header, none);
}

[[noreturn]] void becomeProgram(const Setup& setup, const RunRequest& request,
                                const std::vector<char*>& argv, const std::vector<char*>& environ,
                                const int (&fds)[3], int error, int whyFailed, int listenerSocket) {
    setsid();
    // Out of the way of descriptors 0 to 2 first, so that dup2 below
    // cannot overwrite one still to be moved.
    int moved[3];
    for (int i = 0; i < 3; ++i) {
        moved[i] = fds[i] < 0 ? -1 : fcntl(fds[i], F_DUPFD_CLOEXEC, 10);
    }
    for (int target = 0; target < 3 && error == 0; ++target) {
        if (moved[target] < 0) {
            close(target);  // given closed
        } else if (dup2(moved[target], target) < 0) {
            error = errno;
        }
    }
    if (error == 0 && request.terminal && ioctl(0, TIOCSCTTY, 0) < 0) {
        error = errno;
    }
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    // Where memory runs out, the run's own processes go before anything
    // of the checker's.
    const int adjust = open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
    if (adjust >= 0) {
        ssize_t ignored = write(adjust, "1000", 4);
        (void)ignored;
        close(adjust);
    }
    setLimit(RLIMIT_NPROC, setup.limits.tasks == 0 ? 0 : setup.limits.tasks + setup.tasksAlready);
    setLimit(RLIMIT_DATA, setup.limits.memoryBytes);
    setLimit(RLIMIT_NOFILE, setup.limits.files);
    setLimit(RLIMIT_FSIZE, setup.limits.writableBytes);
    setLimit(RLIMIT_AS, request.addressSpace);
    signal(SIGPIPE, request.ignoreBrokenPipe ? SIG_IGN : SIG_DFL);
    if (error == 0 && !request.folder.empty() && chdir(request.folder.c_str()) < 0) {
        error = errno;
    }
    if (error == 0 && request.watchInput) {
        watchInputCalls(listenerSocket);
    }
    // Outside a sandbox a run is either trusted, with the caller's own
    // rights, or given to another user, which takes them all.  Inside, the
    // bounding set was dropped by the run's first process (runTop).
    if (error == 0 && setup.runGroup >= 0) {
        setgroups(0, nullptr);
        if (setresgid(setup.runGroup, setup.runGroup, setup.runGroup) < 0) {
            error = errno;
        }
    }
    if (error == 0 && setup.runUser >= 0 &&
        setresuid(setup.runUser, setup.runUser, setup.runUser) < 0) {
        error = errno;
    }
    if (setup.namespaced) {
        dropCapabilities();
    }
    // Exactly descriptors 0, 1 and 2 go on; the one for a failure closes
    // with the exec.
    const int keep = whyFailed;
    for (int fd = 3; fd < keep; ++fd) {
        close(fd);
    }
    close_range(static_cast<unsigned>(keep) + 1, ~0u, 0);
    if (error == 0) {
        execvpe(argv[0], argv.data(), environ.data());
        error = errno;
    }
    ssize_t ignored = write(whyFailed, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

// A place to mount on, in the run's /tmp or in the version's folder, which
// are writable (elsewhere bubblewrap made it): the folders above it, then a
// folder or an empty file.
void makeMountPoint(const std::string& path, bool folder, uid_t owner, gid_t group) {
    std::error_code none;
    if (fs::exists(fs::symlink_status(path, none))) {
        return;
    }
    fs::path above;
    for (const fs::path& part : fs::path(path).parent_path()) {
        above /= part;
        if (mkdir(above.c_str(), 0755) == 0 && chown(above.c_str(), owner, group) < 0) {
            // The run then cannot write beside its folder: no harm.
        }
    }
    if (folder) {
        mkdir(path.c_str(), 0755);
    } else {
        close(open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }
}

// Each run's own writable place, in memory: the version's folders over
// their staged copies, /tmp and /dev/shm; then the supervisor's folder out
// of sight, and a /proc that shows the run's processes only.  Failures of
// the last two leave the run less private, not broken.
void prepareMounts(const Setup& setup, uid_t owner, gid_t group) {
    mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    const std::string scratch = setup.hidden + "/scratch";
    const std::string options = "size=" + std::to_string(setup.limits.writableBytes) + ",mode=0755";
    if (mount("run", scratch.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) < 0) {
        return;
    }
    const auto place = [&](const std::string& name, mode_t mode) {
        const std::string path = scratch + "/" + name;
        mkdir(path.c_str(), mode);
        chmod(path.c_str(), mode);
        if (chown(path.c_str(), owner, group) < 0) {
            // Without a user of its own, the run's user owns it already.
        }
        return path;
    };
    // The run's own /tmp first: the version's folders may lie in it.
    mount(place("tmp", 01777).c_str(), "/tmp", nullptr, MS_BIND, nullptr);
    mount(place("shm", 01777).c_str(), "/dev/shm", nullptr, MS_BIND, nullptr);
    for (std::size_t i = 0; i < setup.own.size(); ++i) {
        const auto& [staged, seen] = setup.own[i];
        if (seen == "/" || seen == "/tmp") {
            continue;  // runs in its own /tmp, which is new for each run
        }
        makeMountPoint(seen, true, owner, group);
        const std::string upper = place("upper" + std::to_string(i), 0755),
                          work = place("work" + std::to_string(i), 0755);
        const std::string overlay =
            "lowerdir=" + staged + ",upperdir=" + upper + ",workdir=" + work;
        if (mount("own", seen.c_str(), "overlay", MS_NOSUID | MS_NODEV, overlay.c_str()) < 0) {
            // No overlay here: a copy does as well, at the cost of copying.
            const std::string copy = place("copy" + std::to_string(i), 0755);
            std::error_code none;
            fs::copy(staged, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
                     none);
            mount(copy.c_str(), seen.c_str(), nullptr, MS_BIND | MS_REC, nullptr);
        }
    }
    for (const auto& [inside, seen] : setup.shown) {
        std::error_code none;
        makeMountPoint(seen, fs::is_directory(inside, none), owner, group);
        mount(inside.c_str(), seen.c_str(), nullptr, MS_BIND, nullptr);
        mount(nullptr, seen.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr);
    }
    mount("hidden", setup.hidden.c_str(), "tmpfs", MS_RDONLY | MS_NOSUID | MS_NODEV, "size=4k");
    mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr);
}

// What a build wrote, the version's runs may read but not change: 0, or
// the error that kept the folder from being made read-only, which stops
// the run.  A remount in a user namespace must keep the flags the folder
// was mounted with (nosuid, nodev), or the kernel refuses it.
int mountBuildFolder(const Setup& setup, const RunRequest& request) {
    if (setup.buildFolder.empty() || request.build) {
        return 0;
    }
    const char* const folder = setup.buildFolder.c_str();
    struct statvfs mounted {};
    if (mount(folder, folder, nullptr, MS_BIND, nullptr) < 0 || statvfs(folder, &mounted) < 0) {
        return errno;
    }
    unsigned long flags = MS_BIND | MS_REMOUNT | MS_RDONLY;
    for (const auto& [has, keep] : {std::pair{ST_NOSUID, MS_NOSUID}, std::pair{ST_NODEV, MS_NODEV},
                                    std::pair{ST_NOEXEC, MS_NOEXEC}}) {
        if ((mounted.f_flag & has) != 0) {
            flags |= keep;
        }
    }
    return mount(nullptr, folder, nullptr, flags, nullptr) < 0 ? errno : 0;
}

// Closes every descriptor above 2 but these.
void closeAllBut(std::vector<int> keep) {
    std::sort(keep.begin(), keep.end());
    unsigned from = 3;
    for (const int fd : keep) {
        if (fd >= static_cast<int>(from)) {
            if (fd > static_cast<int>(from)) {
                close_range(from, static_cast<unsigned>(fd) - 1, 0);
            }
            from = static_cast<unsigned>(fd) + 1;
        }
    }
    close_range(from, ~0u, 0);
}

// A fresh /proc may be mounted only where the one there is fully seen:
// what bubblewrap laid over parts of the sandbox's own goes, once for every
// run.  (Each unmount waits for the kernel's readers to move on, which
// takes longer than the rest of a run's setup.)  The runs' user owns
// nothing there and may write none of it.
void uncoverProc() {
    std::ifstream mounts("/proc/self/mountinfo");
    std::vector<std::string> below;
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream words(line);
        std::string id, parent, device, root, point;
        if (words >> id >> parent >> device >> root >> point && point.rfind("/proc/", 0) == 0) {
            below.push_back(point);
        }
    }
    std::sort(below.rbegin(), below.rend());
    for (const std::string& point : below) {
        umount2(point.c_str(), MNT_DETACH);
    }
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

// With vfork the program's side shares this process's memory until its
// exec, instead of a copy of it that the exec throws away.  This process
// sleeps meanwhile; the program's side never returns from becomeProgram.
pid_t startProgram(const Setup& setup, const RunRequest& request, const std::vector<char*>& argv,
                   const std::vector<char*>& environ, const int (&fds)[3], int error, int whyFailed,
                   int listenerSocket) {
    const pid_t program = vfork();
    if (program == 0) {
        becomeProgram(setup, request, argv, environ, fds, error, whyFailed, listenerSocket);
    }
    return program;
}

// The first process of a run's PID namespace, made before the run is asked
// for: with its mounts in place it waits for the request and the run's
// three descriptors, starts the program, waits for it, ends whatever it
// left and hands its status up.  When it ends, the kernel ends every
// process left in the namespace.
[[noreturn]] void runTop(const Setup& setup, int order, int whyFailed, int listenerSocket,
                         int statusOut) {
    // Nothing of the supervisor's or of another run's goes with it.
    closeAllBut({order, whyFailed, listenerSocket, statusOut});
    const uid_t owner = setup.runUser >= 0 ? static_cast<uid_t>(setup.runUser) : getuid();
    const gid_t group = setup.runGroup >= 0 ? static_cast<gid_t>(setup.runGroup) : getgid();
    prepareMounts(setup, owner, group);
    // Before the run is asked for, so that starting it costs nothing of
    // this: the program inherits the bounding set, while this process keeps
    // the capabilities it has for the mounts still to make.
    dropBoundingCapabilities();
    Message message;
    std::vector<Fd> descriptors;
    if (!receive(order, message, descriptors) || message.kind != "run" || descriptors.size() != 3) {
        _exit(0);  // never needed
    }
    close(order);
    const RunRequest request = requestFrom(message);
    const int mountError = mountBuildFolder(setup, request);
    std::vector<std::string> argv = request.argv, environ;
    for (const auto& [name, value] : request.environment) {
        environ.push_back(name + "=" + value);
    }
    const std::vector<char*> argvPointers = pointers(argv), environPointers = pointers(environ);
    const int fds[3] = {descriptors[0].get(), descriptors[1].get(), descriptors[2].get()};
    const pid_t program = startProgram(setup, request, argvPointers, environPointers, fds,
                                       mountError, whyFailed, listenerSocket);
    for (const int fd : fds) {
        close(fd);
    }
    close(whyFailed);
    close(listenerSocket);
    int status = 0;
    for (pid_t ended; (ended = wait(&status)) != program;) {
        if (ended < 0 && errno != EINTR) {
            _exit(1);
        }
    }
    // Whatever the program left ends now, and is collected, before the run
    // is told over: the namespaces' own end may then take its time.
    kill(-1, SIGKILL);
    for (int leftover; wait(&leftover) > 0 || errno == EINTR;) {
    }
    ssize_t ignored = write(statusOut, &status, sizeof status);
    (void)ignored;
    _exit(0);
}

}  // namespace

Supervisor::Supervisor(Setup setup) : setup(std::move(setup)) {
    // Whatever a run leaves behind outside a namespace of its own comes here.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
}

Supervisor::~Supervisor() {
    dropSpare();
    if (running()) {
        stop();
        while (running()) {
            collect();
        }
    }
}

void Supervisor::freshCopies() {
    for (const auto& [staged, seen] : setup.own) {
        std::error_code none;
        fs::remove_all(seen, none);
        fs::copy(staged, seen, fs::copy_options::recursive | fs::copy_options::copy_symlinks, none);
        if (setup.runUser >= 0) {
            for (const auto& entry : fs::recursive_directory_iterator(seen, none)) {
                if (lchown(entry.path().c_str(), static_cast<uid_t>(setup.runUser),
                           static_cast<gid_t>(setup.runGroup)) < 0) {
                    break;
                }
            }
            if (chown(seen.c_str(), static_cast<uid_t>(setup.runUser),
                      static_cast<gid_t>(setup.runGroup)) < 0) {
                // The run then reads its copy but may not write into it.
            }
        }
    }
}

void Supervisor::start(const RunRequest& request, int input, int output, int errors) {
    if (running() || request.argv.empty()) {
        throw std::logic_error("a run is already going, or has no program");
    }
    const Fd whyRead = setup.namespaced ? startFromSpare(request, input, output, errors)
                                        : startHere(request, input, output, errors);
    topHandle = Fd(static_cast<int>(syscall(SYS_pidfd_open, top, 0)));
    int error = 0;
    ssize_t count;
    do {
        count = read(whyRead.get(), &error, sizeof error);
    } while (count < 0 && errno == EINTR);
    if (count == sizeof error) {
        stop();
        while (running()) {
            collect();
        }
        throw CannotStart("cannot start " + request.argv[0] + ": " + std::strerror(error));
    }
}

Fd Supervisor::startHere(const RunRequest& request, int input, int output, int errors) {
    std::vector<std::string> argv = request.argv, environ;
    for (const auto& [name, value] : request.environment) {
        environ.push_back(name + "=" + value);
    }
    const std::vector<char*> argvPointers = pointers(argv), environPointers = pointers(environ);
    auto [whyRead, whyWrite] = makePipe();
    Fd listenerChild;
    if (request.watchInput) {
        std::tie(listenerSocket, listenerChild) = makeChannel();
    }
    const int fds[3] = {input, output, errors};
    freshCopies();
    top = fork();
    if (top == 0) {
        becomeProgram(setup, request, argvPointers, environPointers, fds, 0, whyWrite.get(),
                      listenerChild.get());
    } else if (top < 0) {
        throw std::runtime_error(std::string("cannot start a run: ") + std::strerror(errno));
    }
    return std::move(whyRead);
}

Fd Supervisor::startFromSpare(const RunRequest& request, int input, int output, int errors) {
    if (!spare) {
        prepareSpare();
    }
    Spare run = std::move(*spare);
    spare.reset();
    top = run.top;
    statusIn = std::move(run.status);
    if (request.watchInput) {
        listenerSocket = std::move(run.listener);
    }
    if (!send(run.order.get(), toMessage(request), {input, output, errors})) {
        // Its namespaces are gone: it is collected as a run that ended.
        kill(top, SIGKILL);
    }
    return std::move(run.why);
}

void Supervisor::prepareSpare() {
    if (!setup.namespaced || spare) {
        return;
    }
    auto [whyRead, whyWrite] = makePipe();
    auto [listenerHere, listenerThere] = makeChannel();
    auto [statusRead, statusWrite] = makePipe();
    auto [orderHere, orderThere] = makeChannel();
    // As fork does, with namespaces of its own: the child is the first
    // process of the new PID namespace.
    const long child = syscall(SYS_clone, CLONE_NEWPID | CLONE_NEWNS | CLONE_NEWIPC | SIGCHLD,
                               nullptr, nullptr, nullptr, nullptr);
    if (child == 0) {
        runTop(setup, orderThere.get(), whyWrite.get(), listenerThere.get(), statusWrite.get());
    } else if (child < 0) {
        throw std::runtime_error(std::string("cannot start a run: ") + std::strerror(errno));
    }
    spare = Spare{static_cast<pid_t>(child), std::move(orderHere), std::move(whyRead),
                  std::move(listenerHere), std::move(statusRead)};
}

void Supervisor::dropSpare() {
    if (spare) {
        kill(spare->top, SIGKILL);
        waitpid(spare->top, nullptr, 0);
        spare.reset();
    }
}

std::vector<int> Supervisor::watched() const {
    std::vector<int> fds;
    for (const Fd* fd : {&topHandle, &listenerSocket, &listener, &statusIn}) {
        if (fd->get() >= 0) {
            fds.push_back(fd->get());
        }
    }
    return fds;
}

void Supervisor::takeListener() {
    Message message;
    std::vector<Fd> descriptors;
    bool wouldBlock = false;
    fcntl(listenerSocket.get(), F_SETFL, O_NONBLOCK);
    if (receive(listenerSocket.get(), message, descriptors, &wouldBlock)) {
        if (message.kind == "listener" && descriptors.size() == 1) {
            listener = std::move(descriptors.front());
        }
        listenerSocket = Fd();
    } else if (!wouldBlock) {
        listenerSocket = Fd();  // the program exec'd without one, or is gone
    }
}

void Supervisor::answerNotifications() {
    seccomp_notif* request = nullptr;
    seccomp_notif_resp* response = nullptr;
    if (seccomp_notify_alloc(&request, &response) != 0) {
        listener = Fd();
        return;
    }
    std::memset(request, 0, sizeof *request);
    if (seccomp_notify_receive(listener.get(), request) == 0) {
        std::memset(response, 0, sizeof *response);
        response->id = request->id;
        response->flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
        seccomp_notify_respond(listener.get(), response);
    }
    seccomp_notify_free(request, response);
}

std::vector<RunEvent> Supervisor::collect() {
    collectEnding();
    int status = 0;
    if (setup.namespaced && statusIn.get() >= 0 && top > 0) {
        // Told the program's status, with everything of the run ended: the
        // process above it is still on its way out.
        int programStatus = 0;
        pollfd ready{statusIn.get(), POLLIN, 0};
        if (poll(&ready, 1, 0) == 1 &&
            read(statusIn.get(), &programStatus, sizeof programStatus) == sizeof programStatus) {
            ending.push_back(top);
            forgetRun();
            return {{RunEvent::Ended, programStatus}};
        }
    }
    if (waitpid(top, &status, WNOHANG) != top) {
        return {};
    }
    if (setup.namespaced) {
        // The program's own status, which its starter handed up; none when
        // the run was stopped first.
        int programStatus = 0;
        status = read(statusIn.get(), &programStatus, sizeof programStatus) == sizeof programStatus
                     ? programStatus
                     : SIGKILL;
    } else {
        endLeftovers();
    }
    forgetRun();
    return {{RunEvent::Ended, status}};
}

void Supervisor::forgetRun() {
    top = -1;
    topHandle = Fd();
    listenerSocket = Fd();
    listener = Fd();
    statusIn = Fd();
}

void Supervisor::collectEnding() {
    ending.erase(std::remove_if(ending.begin(), ending.end(),
                                [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; }),
                 ending.end());
}

std::vector<RunEvent> Supervisor::handle() {
    std::vector<RunEvent> events;
    // However many calls were let through, one event tells the checker to look.
    bool mayWait = false;
    std::vector<pollfd> ready;
    for (const int fd : watched()) {
        ready.push_back({fd, POLLIN, 0});
    }
    poll(ready.data(), ready.size(), 0);
    for (const pollfd& fd : ready) {
        if ((fd.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        if (fd.fd == listenerSocket.get()) {
            takeListener();
        } else if (fd.fd == listener.get()) {
            if ((fd.revents & POLLIN) == 0) {
                listener = Fd();
                continue;
            }
            answerNotifications();
            mayWait = true;
        }
    }
    if (mayWait) {
        events.push_back({RunEvent::MayWait, 0});
    }
    for (RunEvent& ended : collect()) {
        events.push_back(ended);
    }
    return events;
}

void Supervisor::stop() {
    if (!running()) {
        return;
    }
    if (!setup.namespaced) {
        kill(-top, SIGKILL);
    }
    kill(top, SIGKILL);
}

namespace {

volatile sig_atomic_t askedToEnd = 0;

void askToEnd(int) {
    askedToEnd = 1;
}

// Ends the run going, if any, and whatever it left.
void endAll(Supervisor& supervisor) {
    supervisor.dropSpare();
    supervisor.stop();
    while (supervisor.running()) {
        std::vector<pollfd> ready;
        for (const int fd : supervisor.watched()) {
            ready.push_back({fd, POLLIN, 0});
        }
        poll(ready.data(), ready.size(), 10);
        supervisor.handle();
    }
    endLeftovers();
}

}  // namespace

int supervise(int channel) {
    // Asked to end (the checker has ended, or Ctrl-C): it ends the run first.
    struct sigaction end {};
    end.sa_handler = askToEnd;
    sigaction(SIGTERM, &end, nullptr);
    sigaction(SIGINT, &end, nullptr);
    Message message;
    std::vector<Fd> descriptors;
    if (!receive(channel, message, descriptors) || message.kind != "setup") {
        return 1;
    }
    const Setup setup = setupFrom(message);
    if (setup.namespaced) {
        // No run may make user namespaces of its own: they are where most
        // of the kernel's holes have been found.
        std::ofstream("/proc/sys/user/max_user_namespaces") << "0\n";
        uncoverProc();
    }
    Supervisor supervisor(setup);
    if (!send(channel, Message{"ready", {}})) {
        return 1;
    }
    supervisor.prepareSpare();
    for (;;) {
        std::vector<pollfd> ready = {{channel, POLLIN, 0}};
        for (const int fd : supervisor.watched()) {
            ready.push_back({fd, POLLIN, 0});
        }
        if (poll(ready.data(), ready.size(), -1) < 0 && errno != EINTR) {
            return 1;
        }
        if (askedToEnd) {
            endAll(supervisor);
            return 0;
        }
        if (ready[0].revents != 0) {
            if (!receive(channel, message, descriptors)) {
                // The checker has gone: so does every run.
                endAll(supervisor);
                return 0;
            }
            if (message.kind == "run" && descriptors.size() == 3 && !supervisor.running()) {
                try {
                    supervisor.start(requestFrom(message), descriptors[0].get(),
                                     descriptors[1].get(), descriptors[2].get());
                    send(channel,
                         Message{"started", {{"pid", std::to_string(supervisor.topProcess())}}});
                } catch (const std::exception& error) {
                    send(channel, Message{"cannot-start", {{"why", error.what()}}});
                }
            } else if (message.kind == "stop") {
                supervisor.stop();
            }
            descriptors.clear();
            // The next run's namespaces, made while this one runs, once the
            // supervisor holds none of its descriptors.
            try {
                supervisor.prepareSpare();
            } catch (const std::exception&) {
                // Made when the next run asks, or failing then.
            }
        }
        for (const RunEvent& event : supervisor.handle()) {
            if (event.kind == RunEvent::MayWait) {
                send(channel, Message{"may-wait", {}});
            } else {
                send(channel, Message{"ended", {{"status", std::to_string(event.waitStatus)}}});
            }
        }
    }
}
