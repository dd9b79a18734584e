#include "sandbox/Confinement.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cases/ExpectedText.h"

namespace fs = std::filesystem;

namespace {

// What a version may write: its folder and /tmp, each this much at most.
constexpr unsigned long long WRITABLE_BYTES = 64ull << 20;
// Past this many files in a version's folder, the folder is shown as it is,
// read-only, instead of file by file in a folder it may write in.
constexpr int FILES_SHOWN_ONE_BY_ONE = 256;

// The system's programs, libraries and the settings they read; nothing of
// the users' files.
const char* const SYSTEM_FOLDERS[] = {"/usr", "/opt"};
const char* const TOP_FOLDERS[] = {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"};
const char* const SETTINGS[] = {"/etc/alternatives", "/etc/ld.so.cache",   "/etc/ld.so.conf",
                                "/etc/ld.so.conf.d", "/etc/localtime",     "/etc/passwd",
                                "/etc/group",        "/etc/nsswitch.conf", "/etc/timezone"};
// What a version is given of the checker's environment, besides its own
// HOME and TMPDIR.
const char* const KEPT_VARIABLES[] = {"PATH",       "LANG", "LC_ALL", "LC_CTYPE", "LC_MESSAGES",
                                      "LC_NUMERIC", "TERM", "TZ",     "JAVA_HOME"};

std::string onPath(const std::string& name) {
    const char* const path = getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const fs::path candidate = fs::path(folders.substr(start, end - start)) / name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
        start = end + 1;
    }
    return "";
}

fs::path homeFolder() {
    const char* const home = getenv("HOME");
    if (home != nullptr && *home == '/') {
        return fs::path(home).lexically_normal();
    }
    const passwd* const user = getpwuid(getuid());
    return user != nullptr ? fs::path(user->pw_dir) : fs::path("/");
}

bool isWithin(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

// Whether showing the folder would show more than the version's own files:
// the user's home or a folder it is in, or a folder for everyone's
// temporary files, whose sockets (a terminal multiplexer's, a display's)
// could be connected to even through a read-only view.
bool isShared(const fs::path& folder) {
    const char* const temporary = getenv("TMPDIR");
    return isWithin(homeFolder(), folder) || folder == homeFolder() || folder == "/tmp" ||
           folder == "/var/tmp" ||
           (temporary != nullptr && folder == fs::path(temporary).lexically_normal());
}

bool isSystemFile(const fs::path& path) {
    for (const char* const system : SYSTEM_FOLDERS) {
        if (isWithin(path, system)) {
            return true;
        }
    }
    return isWithin(path, "/etc") || isWithin(path, "/proc") || isWithin(path, "/dev");
}

void add(std::vector<std::string>& args, std::initializer_list<std::string> more) {
    args.insert(args.end(), more);
}

// The system's folders and settings, read-only; a fresh /proc, /dev and /tmp.
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
    for (const char* const settings : SETTINGS) {
        add(args, {"--ro-bind-try", settings, settings});
    }
    // Java reads its settings under /etc/java-17-openjdk and the like.
    for (const auto& entry : fs::directory_iterator("/etc", none)) {
        if (entry.path().filename().string().rfind("java", 0) == 0) {
            add(args, {"--ro-bind", entry.path().string(), entry.path().string()});
        }
    }
    add(args, {"--proc", "/proc", "--dev", "/dev", "--size", std::to_string(WRITABLE_BYTES),
               "--tmpfs", "/tmp"});
}

// A file the command names (its program, a script, a class path) that is
// neither a system file nor in the version's folder: it is shown read-only,
// with the folder it is in unless that would show the user's home.
void addNamedFile(std::vector<std::string>& args, const fs::path& path, const fs::path& folder) {
    std::error_code none;
    const bool shownWithFolder = !isShared(folder) && (isWithin(path, folder) || path == folder);
    if (!fs::exists(path, none) || isSystemFile(path) || shownWithFolder) {
        return;
    }
    fs::path shown = fs::is_directory(path, none) ? path : path.parent_path();
    if (isShared(shown)) {
        shown = path;
    }
    if (!isShared(shown)) {
        add(args, {"--ro-bind-try", shown.string(), shown.string()});
    }
}

// The folder the version runs in: its own files read-only, in a folder in
// memory where it may write, gone with the run.  A shared folder is shown
// empty, and of the others only files, folders and symbolic links.
void addWorkFolder(std::vector<std::string>& args, const fs::path& folder) {
    if (folder == "/" || folder == "/tmp") {
        return;  // the version runs in /tmp
    }
    std::error_code none;
    std::vector<fs::directory_entry> files;
    if (!isShared(folder)) {
        for (const auto& entry : fs::directory_iterator(folder, none)) {
            if (entry.is_regular_file(none) || entry.is_directory(none) || entry.is_symlink(none)) {
                files.push_back(entry);
            }
        }
    }
    if (files.size() > FILES_SHOWN_ONE_BY_ONE) {
        add(args, {"--ro-bind", folder.string(), folder.string()});
    } else {
        add(args, {"--size", std::to_string(WRITABLE_BYTES), "--tmpfs", folder.string()});
        for (const fs::directory_entry& file : files) {
            const std::string path = file.path().string();
            if (file.is_symlink(none)) {
                add(args, {"--symlink", fs::read_symlink(file.path(), none).string(), path});
            } else {
                add(args, {"--ro-bind-try", path, path});
            }
        }
    }
}

// The absolute paths a shell line or an option names ("sh -c '/x/y; exit'",
// "PROGRAM=/x/y", "-cp /x:/y"), and the argument itself.
std::vector<std::string> pathsIn(const std::string& arg) {
    std::vector<std::string> paths = {arg};
    const char* const separators = " \t\n=:;,'\"()`$&|<>";
    for (std::size_t start = arg.find_first_not_of(separators); start != std::string::npos;) {
        const std::size_t end = std::min(arg.find_first_of(separators, start), arg.size());
        if (arg[start] == '/' && end - start < arg.size()) {
            paths.push_back(arg.substr(start, end - start));
        }
        start = arg.find_first_not_of(separators, end);
    }
    return paths;
}

// Throws CannotStart unless the command's program can be run.
void checkStartable(const std::string& program) {
    const bool named = program.find('/') != std::string::npos;
    if (named ? access(program.c_str(), X_OK) != 0 : onPath(program).empty()) {
        throw CannotStart("cannot start " + program + ": " + std::strerror(named ? errno : ENOENT));
    }
}

}  // namespace

unsigned long long defaultMemoryMiB() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    const unsigned long long machine =
        pages > 0 && pageSize > 0
            ? static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(pageSize)
            : 0;
    return std::max<unsigned long long>(1024, machine / 16 >> 20);
}

Confinement::Confinement(Caps caps) : caps(caps), folder(fs::current_path().string()) {
    const std::string found = onPath("bwrap");
    if (found.empty()) {
        whyNot = "bubblewrap (bwrap) is not installed";
    } else {
        bwrap = fs::canonical(found).string();
        std::string errors;
        const RunResult tried = runPiped(Launch(sandbox({"true"})), "", 10, nullptr, 0, &errors);
        if (!tried.endedWell()) {
            const std::vector<std::string> lines = splitLines(errors);
            whyNot = lines.empty() ? "bwrap " + tried.describe(10) : lines.front();
            bwrap.clear();
        }
    }
    if (isFull()) {
        return;
    }
    const fs::path temporary = getenv("TMPDIR") != nullptr ? getenv("TMPDIR") : "/tmp";
    std::string pattern = (temporary / "lessons-check.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a scratch folder in " + temporary.string());
    }
    scratch = pattern;
    setScratch(scratch);
}

Confinement::~Confinement() {
    setScratch("");
    if (!scratch.empty()) {
        std::error_code none;
        fs::remove_all(scratch, none);
    }
}

std::vector<std::string> Confinement::sandbox(const std::vector<std::string>& command) const {
    // A user namespace even for root, whose capabilities then hold inside it
    // alone; no network but a loopback device that is down; its own PID,
    // IPC and host-name namespaces; killed with the checker.
    std::vector<std::string> args = {bwrap, "--unshare-all", "--unshare-user", "--disable-userns",
                                     "--die-with-parent"};
    addSystem(args);
    addWorkFolder(args, folder);
    checkStartable(command.at(0));
    if (command[0].find('/') == std::string::npos) {
        addNamedFile(args, onPath(command[0]), folder);
    }
    for (std::size_t i = 0; i < command.size(); ++i) {
        for (const std::string& path : pathsIn(command[i])) {
            // A plain name after the program may be a file in the folder
            // ("python3 heat.py"), which a shared folder does not show.
            if (path.find('/') != std::string::npos || i > 0) {
                addNamedFile(args, (fs::path(folder) / path).lexically_normal(), folder);
            }
        }
    }
    add(args, {"--chdir", folder == "/" ? "/tmp" : folder});
    args.push_back("--");
    args.insert(args.end(), command.begin(), command.end());
    return args;
}

Launch Confinement::confined(Launch launch) const {
    const std::string home = isFull() ? "/tmp" : scratch;
    std::vector<std::pair<std::string, std::string>> environment = {{"HOME", home},
                                                                    {"TMPDIR", home}};
    for (const char* const name : KEPT_VARIABLES) {
        if (const char* const value = getenv(name)) {
            environment.emplace_back(name, value);
        }
    }
    environment.insert(environment.end(), launch.environment.begin(), launch.environment.end());
    launch.environment = environment;
    launch.onlyGivenEnvironment = true;
    launch.fileSizeLimit = WRITABLE_BYTES;
    launch.caps = caps;
    if (isFull()) {
        launch.argv = sandbox(launch.argv);
        // bubblewrap's own process, and the first process of the new PID
        // namespace, which starts the version and waits for it.
        launch.caps.confinerLevels = 2;
    }
    return launch;
}
