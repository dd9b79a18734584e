#include "sandbox/Interpreters.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>

namespace fs = std::filesystem;

namespace {
// A namespace of its own: the checks are compiled as one unit, beside
// Confinement.cpp's helpers of the same names.
namespace interpreters {

// What a version may start by name without naming a path: a --each
// folder's LESSON.py or LESSON.js, a Makefile's recipe, `#!/usr/bin/env`.
const char* const ALWAYS_RESOLVED[] = {"python3", "python", "node", "java", "javac"};
// Shown to every version anyway.
const char* const SYSTEM_FOLDERS[] = {"/usr", "/opt",   "/etc",   "/bin",   "/sbin",
                                      "/lib", "/lib32", "/lib64", "/libx32"};
// Never shown, nor anything in them or a folder that holds them: keys,
// tokens, keyrings, the desktop's and the browsers' data.
const char* const HIDDEN_IN_HOME[] = {
    ".ssh",  ".gnupg",  ".config", ".local/share",     ".pki",    ".password-store", ".aws",
    ".kube", ".docker", ".netrc",  ".git-credentials", ".mozilla"};
// What the first line of a version's own script may name, with or without
// a version number after it.
const char* const INTERPRETER_NAMES[] = {"python", "pypy", "node", "nodejs", "java",
                                         "sh",     "bash", "dash", "perl",   "ruby"};

constexpr int MOST_LINKS = 40;              // as many as the kernel follows in one path
constexpr std::size_t SHEBANG_BYTES = 256;  // as much of a #! line as the kernel reads
constexpr std::size_t SETTINGS_BYTES = 4096;
constexpr int MOST_INTERPRETERS = 4;        // a script run by a script run by ...
constexpr int MOST_VERSIONS_LISTED = 1000;  // entries of $PYENV_ROOT/versions read

bool isWithin(const fs::path& path, const fs::path& folder) {
    if (folder.empty()) {
        return false;
    }
    const fs::path relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

bool isSystem(const fs::path& path) {
    return std::any_of(std::begin(SYSTEM_FOLDERS), std::end(SYSTEM_FOLDERS),
                       [&](const char* folder) { return isWithin(path, folder); });
}

std::vector<std::string> split(const std::string& text, const std::string& separators) {
    std::vector<std::string> words;
    for (std::size_t start = text.find_first_not_of(separators); start != std::string::npos;) {
        const std::size_t end = std::min(text.find_first_of(separators, start), text.size());
        words.push_back(text.substr(start, end - start));
        start = text.find_first_not_of(separators, end);
    }
    return words;
}

// The start of a regular file, at most `bytes` of it; "" for anything else
// (a FIFO is opened without waiting for a writer, and not read).
std::string startOf(const fs::path& file, std::size_t bytes, bool followLast = true) {
    const int fd =
        open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLast ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        return "";
    }
    struct stat info {};
    std::string text(bytes, '\0');
    ssize_t got = 0;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        got = read(fd, text.data(), bytes);
    }
    close(fd);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

bool isExecutableFile(const fs::path& file) {
    struct stat info {};
    return stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(file.c_str(), X_OK) == 0;
}

// The path with every symbolic link followed as the kernel follows it (the
// last name's too unless !last), each link met added to `met`; nothing when
// a part of it is missing or there are too many links.
std::optional<fs::path> followLinks(const fs::path& path, std::vector<SymbolicLink>& met,
                                    bool last = true) {
    if (!path.is_absolute()) {
        return std::nullopt;
    }
    std::vector<fs::path> pending;  // the names still to walk, the next one last
    const fs::path relative = path.relative_path();
    pending.assign(relative.begin(), relative.end());
    std::reverse(pending.begin(), pending.end());
    fs::path reached = "/";
    for (int links = 0; !pending.empty();) {
        const fs::path name = pending.back();
        pending.pop_back();
        if (name.empty() || name == ".") {
            continue;
        }
        if (name == "..") {
            reached = reached.parent_path();
            continue;
        }
        const fs::path next = reached / name;
        struct stat info {};
        if (lstat(next.c_str(), &info) != 0) {
            return std::nullopt;
        }
        if (!S_ISLNK(info.st_mode) || (pending.empty() && !last)) {
            reached = next;
            continue;
        }
        std::error_code error;
        const fs::path target = fs::read_symlink(next, error);
        if (error || ++links > MOST_LINKS) {
            return std::nullopt;
        }
        met.push_back({next.string(), target.string()});
        const fs::path targetNames = target.relative_path();
        pending.insert(pending.end(), std::make_reverse_iterator(targetNames.end()),
                       std::make_reverse_iterator(targetNames.begin()));
        if (target.is_absolute()) {
            reached = "/";
        }
    }
    return reached;
}

std::string trimmed(const std::string& text) {
    const std::size_t start = text.find_first_not_of(" \t\r");
    return start == std::string::npos
               ? ""
               : text.substr(start, text.find_last_not_of(" \t\r") + 1 - start);
}

// A `key = value` setting of a small file, as Python reads pyvenv.cfg.
std::string settingIn(const fs::path& file, const std::string& key) {
    for (const std::string& line : split(startOf(file, SETTINGS_BYTES), "\n")) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos && trimmed(line.substr(0, equals)) == key) {
            return trimmed(line.substr(equals + 1));
        }
    }
    return "";
}

fs::path canonicalOrAsGiven(const std::string& path) {
    std::error_code none;
    return path.empty() ? fs::path() : fs::weakly_canonical(path, none);
}

// python3.11 -> python, node -> node.
bool isInterpreterName(const std::string& name) {
    const std::string bare = name.substr(0, name.find_last_not_of("0123456789.") + 1);
    return std::any_of(std::begin(INTERPRETER_NAMES), std::end(INTERPRETER_NAMES),
                       [&](const char* known) { return bare == known; });
}

// pyenv's own check of a version's name: it must name a folder right in
// $PYENV_ROOT/versions.
bool isVersionName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           std::none_of(name.begin(), name.end(), [](unsigned char c) { return c < ' '; });
}

// A version number's parts, for finding the latest of "3.11.*".
std::vector<long> numbersOf(const std::string& version) {
    std::vector<long> numbers;
    for (const std::string& part : split(version, ".")) {
        numbers.push_back(std::strtol(part.c_str(), nullptr, 10));
    }
    return numbers;
}

// A pyenv version and what chose it.
struct Chosen {
    std::string name;
    std::string origin;
};

// What one interpreter needs shown; kept only when all of it can be.
struct Needs {
    std::vector<fs::path> shown;
    std::vector<SymbolicLink> links;
    std::set<std::size_t> pathEntries;  // the instructor's PATH folders it was found in
    std::string problem;

    void fail(const std::string& sentence) {
        if (problem.empty()) {
            problem = sentence;
        }
    }
};

class Resolver {
public:
    explicit Resolver(const Host& host);
    Resolved resolve(const std::vector<std::string>& command);

private:
    struct Found {
        std::size_t entry;
        fs::path file;
    };

    void resolveCommand(Resolved& resolved);
    void resolveAlways();
    void resolveJavaHome(Resolved& resolved);
    std::string insidePath();
    void keep(const Needs& needs);

    std::optional<Found> onPath(const std::string& name, bool skipShims) const;
    bool isShimsFolder(const fs::path& folder) const;
    std::optional<fs::path> shimRoot(const fs::path& program) const;
    std::vector<Chosen> pyenvVersions(const fs::path& root) const;
    std::vector<Chosen> versionsIn(const fs::path& file) const;
    std::optional<fs::path> versionFolder(const fs::path& root, const std::string& name) const;

    fs::path runnable(const fs::path& program, Needs& needs, int depth);
    fs::path runShim(const fs::path& root, const std::string& name, Needs& needs, int depth);
    void showProgram(const fs::path& program, Needs& needs, int depth);
    void showInterpreterOf(const fs::path& script, const std::string& start, Needs& needs,
                           int depth, bool versionsOwn);
    void showInstalled(const fs::path& file, Needs& needs);
    void showPrefix(const fs::path& prefix, Needs& needs);
    void showVenv(const fs::path& venv, Needs& needs);
    void showInstallation(const fs::path& prefix, Needs& needs);
    void show(const fs::path& path, Needs& needs) const;
    std::string hiddenBecause(const fs::path& path) const;
    bool isVersionsOwn(const fs::path& path) const;

    Host host;
    fs::path home, working, versionFiles;
    std::vector<fs::path> folders;  // the instructor's PATH, its absolute folders only
    Needs kept;                     // what is shown for everything resolved so far
};

Resolver::Resolver(const Host& given)
    : host(given),
      home(canonicalOrAsGiven(given.home)),
      working(canonicalOrAsGiven(given.workingFolder)),
      versionFiles(canonicalOrAsGiven(given.versionFiles)) {
    for (const std::string& folder : split(host.path, ":")) {
        if (folder.front() == '/') {
            folders.push_back(folder);
        }
    }
}

Resolved Resolver::resolve(const std::vector<std::string>& command) {
    Resolved resolved;
    resolved.command = command;
    if (!command.empty()) {
        resolveCommand(resolved);
    }
    resolveAlways();
    resolveJavaHome(resolved);
    resolved.path = insidePath();

    std::sort(kept.shown.begin(), kept.shown.end());
    for (const fs::path& path : kept.shown) {
        const bool inShown = !resolved.shown.empty() && isWithin(path, resolved.shown.back());
        if (!inShown && !isSystem(path) && !isWithin(path, versionFiles)) {
            resolved.shown.push_back(path.string());
        }
    }
    for (const SymbolicLink& link : kept.links) {
        const bool visible =
            isSystem(link.path) || isWithin(link.path, versionFiles) ||
            std::any_of(resolved.shown.begin(), resolved.shown.end(),
                        [&](const std::string& shown) { return isWithin(link.path, shown); });
        if (!visible &&
            std::find(resolved.links.begin(), resolved.links.end(), link) == resolved.links.end()) {
            resolved.links.push_back(link);
        }
    }
    return resolved;
}

// The command's own interpreter: what it cannot show is the version's problem.
void Resolver::resolveCommand(Resolved& resolved) {
    Needs needs;
    const std::string& program = resolved.command.front();
    fs::path file;
    if (program.find('/') == std::string::npos) {
        const std::optional<Found> found = onPath(program, false);
        if (!found) {
            return;  // the sandbox says it cannot start it
        }
        needs.pathEntries.insert(found->entry);
        file = found->file;
    } else {
        file = (working / program).lexically_normal();
        struct stat info {};
        if (lstat(file.c_str(), &info) != 0) {
            return;
        }
    }
    const fs::path run = runnable(file, needs, 0);
    if (run != file) {
        resolved.command.front() = run.string();
    }
    resolved.problem = needs.problem;
    keep(needs);
}

// python3, python, node, java and javac as the instructor's PATH finds them,
// when all they need can be shown: otherwise PATH inside goes past them.
void Resolver::resolveAlways() {
    for (const char* const name : ALWAYS_RESOLVED) {
        if (const std::optional<Found> found = onPath(name, false)) {
            Needs needs;
            needs.pathEntries.insert(found->entry);
            runnable(found->file, needs, 0);
            if (needs.problem.empty()) {
                keep(needs);
            }
        }
    }
}

void Resolver::resolveJavaHome(Resolved& resolved) {
    Needs needs;
    const std::optional<fs::path> canonical = followLinks(host.javaHome, needs.links);
    if (!canonical) {
        return;
    }
    showInstallation(*canonical, needs);
    if (needs.problem.empty()) {
        keep(needs);
        resolved.environment.emplace_back("JAVA_HOME", host.javaHome);
    }
}

void Resolver::keep(const Needs& needs) {
    kept.shown.insert(kept.shown.end(), needs.shown.begin(), needs.shown.end());
    kept.links.insert(kept.links.end(), needs.links.begin(), needs.links.end());
    kept.pathEntries.insert(needs.pathEntries.begin(), needs.pathEntries.end());
}

std::string Resolver::insidePath() {
    std::vector<std::string> inside;
    const auto add = [&](const std::string& folder) {
        if (std::find(inside.begin(), inside.end(), folder) == inside.end()) {
            inside.push_back(folder);
        }
    };
    for (std::size_t i = 0; i < folders.size(); ++i) {
        std::error_code none;
        if (isShimsFolder(folders[i])) {
            const fs::path root = fs::canonical(folders[i], none).parent_path();
            for (const Chosen& version : pyenvVersions(root)) {
                const std::optional<fs::path> folder = versionFolder(root, version.name);
                if (!folder) {
                    break;  // "system", or not installed: the folders after the shims
                }
                Needs needs;
                if (const std::optional<fs::path> prefix = followLinks(*folder, needs.links)) {
                    showPrefix(*prefix, needs);
                }
                if (needs.problem.empty()) {
                    keep(needs);
                    add((*folder / "bin").string());
                }
            }
        } else if (kept.pathEntries.count(i) != 0 ||
                   (isSystem(folders[i]) && isSystem(fs::weakly_canonical(folders[i], none)))) {
            add(folders[i].string());
        }
    }
    std::string path;
    for (const std::string& folder : inside) {
        path += (path.empty() ? "" : ":") + folder;
    }
    return path;
}

std::optional<Resolver::Found> Resolver::onPath(const std::string& name, bool skipShims) const {
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (!(skipShims && isShimsFolder(folders[i])) && isExecutableFile(folders[i] / name)) {
            return Found{i, folders[i] / name};
        }
    }
    return std::nullopt;
}

// pyenv makes its shims in $PYENV_ROOT/shims, beside its libexec/pyenv.
bool Resolver::isShimsFolder(const fs::path& folder) const {
    std::vector<SymbolicLink> ignored;
    const std::optional<fs::path> canonical = followLinks(folder, ignored);
    return canonical && canonical->filename() == "shims" &&
           isExecutableFile(canonical->parent_path() / "libexec" / "pyenv");
}

std::optional<fs::path> Resolver::shimRoot(const fs::path& program) const {
    std::vector<SymbolicLink> ignored;
    const std::optional<fs::path> file = followLinks(program, ignored);
    if (!file || isVersionsOwn(*file) || !isShimsFolder(file->parent_path())) {
        return std::nullopt;
    }
    return file->parent_path().parent_path();
}

// As pyenv chooses: PYENV_VERSION, else the first .python-version from the
// folder lessons-check runs in upward (never the version's own), else
// $PYENV_ROOT/version, else the system's.
std::vector<Chosen> Resolver::pyenvVersions(const fs::path& root) const {
    std::vector<Chosen> versions;
    if (!host.pyenvVersion.empty()) {
        for (const std::string& name : split(host.pyenvVersion, ":")) {
            if (isVersionName(name)) {
                versions.push_back({name, "PYENV_VERSION"});
            }
        }
        return versions;
    }
    for (fs::path folder = working; !folder.empty(); folder = folder.parent_path()) {
        std::error_code none;
        if (fs::is_regular_file(folder / ".python-version", none)) {
            return versionsIn(folder / ".python-version");
        }
        if (folder == folder.root_path()) {
            break;
        }
    }
    return versionsIn(root / "version");
}

// The first word of each line that is neither blank nor a comment; a name
// that would lead out of $PYENV_ROOT/versions is passed over, as pyenv does.
std::vector<Chosen> Resolver::versionsIn(const fs::path& file) const {
    std::vector<Chosen> versions;
    for (const std::string& line : split(startOf(file, SETTINGS_BYTES), "\n")) {
        const std::vector<std::string> words = split(line, " \t\r");
        if (!words.empty() && words[0][0] != '#' && isVersionName(words[0])) {
            versions.push_back({words[0], file.string()});
        }
    }
    if (versions.empty()) {
        versions.push_back({"system", file.string()});
    }
    return versions;
}

// The folder of an installed version: its name, without a "python-" before
// it, or the latest installed of a prefix ("3.11" for 3.11.7); nothing for
// "system" or a version not installed.
std::optional<fs::path> Resolver::versionFolder(const fs::path& root,
                                                const std::string& name) const {
    const fs::path versions = root / "versions";
    std::error_code none;
    if (name == "system" || !isVersionName(name)) {
        return std::nullopt;
    }
    for (const std::string& tried : {name, name.rfind("python-", 0) == 0 ? name.substr(7) : name}) {
        if (isVersionName(tried) && fs::is_directory(versions / tried, none)) {
            return versions / tried;
        }
    }
    std::optional<std::string> latest;
    int read = 0;
    for (const auto& entry : fs::directory_iterator(versions, none)) {
        const std::string candidate = entry.path().filename().string();
        const std::string rest = candidate.substr(std::min(candidate.size(), name.size() + 1));
        if (candidate.rfind(name + ".", 0) == 0 && !rest.empty() &&
            rest.find_first_not_of("0123456789.") == std::string::npos &&
            (!latest || numbersOf(*latest) < numbersOf(candidate))) {
            latest = candidate;
        }
        if (++read == MOST_VERSIONS_LISTED) {
            break;
        }
    }
    return latest ? std::optional<fs::path>(versions / *latest) : std::nullopt;
}

// The program itself, or for a pyenv shim the one it would run.
fs::path Resolver::runnable(const fs::path& program, Needs& needs, int depth) {
    if (const std::optional<fs::path> root = shimRoot(program)) {
        return runShim(*root, program.filename().string(), needs, depth);
    }
    showProgram(program, needs, depth);
    return program;
}

// What `pyenv exec NAME` runs: NAME in the first chosen version that has it,
// else the next NAME on PATH after the shims.
fs::path Resolver::runShim(const fs::path& root, const std::string& name, Needs& needs, int depth) {
    std::vector<Chosen> versions = pyenvVersions(root);
    versions.push_back({"system", ""});
    for (const Chosen& version : versions) {
        if (version.name == "system") {
            if (const std::optional<Found> found = onPath(name, true)) {
                needs.pathEntries.insert(found->entry);
                return runnable(found->file, needs, depth);
            }
            break;
        }
        const std::optional<fs::path> folder = versionFolder(root, version.name);
        if (!folder) {
            needs.fail("pyenv's version " + version.name + ", chosen by " + version.origin +
                       ", is not installed in " + (root / "versions").string() +
                       ": install it with pyenv install, or choose an installed version");
            return root / "shims" / name;
        }
        if (isExecutableFile(*folder / "bin" / name)) {
            showProgram(*folder / "bin" / name, needs, depth);
            return *folder / "bin" / name;
        }
    }
    needs.fail("pyenv's shim " + (root / "shims" / name).string() + " finds no " + name +
               " in the chosen versions nor on PATH: install one");
    return root / "shims" / name;
}

// A program that is not a shim: where it is installed and, for a script,
// its interpreter.
void Resolver::showProgram(const fs::path& program, Needs& needs, int depth) {
    if (isVersionsOwn(program)) {
        std::vector<SymbolicLink> ignored;
        const std::optional<fs::path> folder = followLinks(program.parent_path(), ignored);
        if (folder && isWithin(*folder, versionFiles)) {
            const fs::path file = *folder / program.filename();
            showInterpreterOf(file, startOf(file, SHEBANG_BYTES, false), needs, depth, true);
        }
        return;
    }
    const std::optional<fs::path> folder = followLinks(program.parent_path(), needs.links);
    const std::optional<fs::path> file = followLinks(program, needs.links);
    if (!folder || !file) {
        needs.fail(program.string() + " does not exist: install the interpreter or mend the path");
        return;
    }
    // Python finds its venv beside the path it was started by, before
    // following the links to the interpreter the venv is made from.
    if (folder->filename() == "bin" && fs::exists(folder->parent_path() / "pyvenv.cfg")) {
        showVenv(folder->parent_path(), needs);
    }
    showInstalled(*file, needs);
    showInterpreterOf(*file, startOf(*file, SHEBANG_BYTES), needs, depth, false);
}

// A script's interpreter, named by its first line; for a version's own
// script it must be an interpreter and not, say, a file of the user's.
void Resolver::showInterpreterOf(const fs::path& script, const std::string& start, Needs& needs,
                                 int depth, bool versionsOwn) {
    if (start.rfind("#!", 0) != 0) {
        return;
    }
    const std::vector<std::string> words = split(start.substr(2, start.find('\n') - 2), " \t");
    if (words.empty() || words[0].front() != '/') {
        return;  // the kernel refuses it, or finds it in the version's folder
    }
    const fs::path interpreter = words[0];
    if (depth + 1 >= MOST_INTERPRETERS) {
        needs.fail(script.string() + " starts too many interpreters in turn: name one directly");
        return;
    }
    // Only the system's env looks the name up on PATH.
    const bool viaEnv = interpreter.filename() == "env" && isSystem(interpreter);
    std::string name = interpreter.filename().string();
    if (viaEnv) {
        const auto first = std::find_if(words.begin() + 1, words.end(), [](const std::string& w) {
            return w.front() != '-' && w.find('=') == std::string::npos;
        });
        name = first != words.end() ? *first : "";
    }
    if (name.empty() || (versionsOwn && !isInterpreterName(name))) {
        needs.fail(script.string() + "'s first line names " + words[0] +
                   (viaEnv ? " " + name : "") +
                   ", which is not an interpreter: name python3, node, java or a shell");
    } else if (viaEnv) {
        if (const std::optional<Found> found = onPath(name, false)) {
            needs.pathEntries.insert(found->entry);
            runnable(found->file, needs, depth + 1);
        }
    } else if (shimRoot(interpreter)) {
        needs.fail(script.string() + "'s first line names the pyenv shim " + words[0] +
                   ", which cannot run in the sandbox: write #!/usr/bin/env " + name);
    } else {
        showProgram(interpreter, needs, depth + 1);
    }
}

// An interpreter's file: its installation (the folder above its bin/), a
// venv, or where the folder above would show too much, the file alone.
void Resolver::showInstalled(const fs::path& file, Needs& needs) {
    const fs::path bin = file.parent_path();
    if (isSystem(file)) {
        return;
    }
    if (bin.filename() == "bin" && hiddenBecause(bin.parent_path()).empty()) {
        showPrefix(bin.parent_path(), needs);
    } else {
        show(file, needs);
    }
}

void Resolver::showPrefix(const fs::path& prefix, Needs& needs) {
    if (fs::exists(prefix / "pyvenv.cfg")) {
        showVenv(prefix, needs);
    } else {
        showInstallation(prefix, needs);
    }
}

// What an interpreter's installation holds of its own: its programs,
// libraries, packages and settings, by the names Python, Node.js, a JDK and
// conda give them.  Anything else a user keeps there (a pip.conf with a
// token, notes) stays hidden.
void Resolver::showInstallation(const fs::path& prefix, Needs& needs) {
    static const char* const parts[] = {"bin",     "lib",   "lib64",   "lib32",      "libexec",
                                        "include", "share", "conf",    "etc",        "ssl",
                                        "jmods",   "legal", "release", "pyvenv.cfg", "conda-meta"};
    const std::size_t before = needs.shown.size();
    for (const char* const part : parts) {
        std::error_code none;
        if (fs::exists(fs::symlink_status(prefix / part, none))) {
            show(prefix / part, needs);
        }
    }
    if (needs.shown.size() == before) {
        needs.fail(prefix.string() + " holds no installation: install the interpreter again");
    }
}

// A venv, and the installation its pyvenv.cfg names as its home.
void Resolver::showVenv(const fs::path& venv, Needs& needs) {
    showInstallation(venv, needs);
    const std::string base = settingIn(venv / "pyvenv.cfg", "home");
    if (base.empty()) {
        return;
    }
    const std::optional<fs::path> canonical = followLinks(base, needs.links);
    if (!canonical) {
        needs.fail(venv.string() + " is made from " + base +
                   ", which does not exist: make the venv again");
    } else if (!isSystem(*canonical)) {
        if (canonical->filename() == "bin") {
            showInstallation(canonical->parent_path(), needs);
        } else {
            show(*canonical, needs);
        }
    }
}

void Resolver::show(const fs::path& path, Needs& needs) const {
    const std::string why = hiddenBecause(path);
    if (why.empty()) {
        needs.shown.push_back(path);
    } else {
        needs.fail(path.string() + " cannot be shown to versions, as it " + why +
                   ": install the interpreter elsewhere, such as in a venv or with pyenv");
    }
}

// Why showing the path would show more than an interpreter: "" when it would not.
std::string Resolver::hiddenBecause(const fs::path& path) const {
    const fs::path names = path.relative_path();
    if (std::distance(names.begin(), names.end()) < 2) {
        return "is a top folder";
    }
    for (const auto& [folder, what] :
         {std::pair{home, "home folder"}, std::pair{working, "folder lessons-check runs in"},
          std::pair{versionFiles, "version's own files"}}) {
        if (isWithin(folder, path)) {
            return std::string("holds the ") + what + " " + folder.string();
        }
    }
    for (const char* const hidden : HIDDEN_IN_HOME) {
        const fs::path folder = home.empty() ? fs::path() : home / hidden;
        if (isWithin(path, folder) || isWithin(folder, path)) {
            return (isWithin(path, folder) ? "lies in " : "holds ") + folder.string() +
                   ", which stays hidden";
        }
    }
    return "";
}

bool Resolver::isVersionsOwn(const fs::path& path) const {
    return isWithin(path.lexically_normal(), versionFiles);
}

}  // namespace interpreters
}  // namespace

Host thisHost(const std::string& versionFiles) {
    const auto variable = [](const char* name) {
        const char* const value = getenv(name);
        return std::string(value != nullptr ? value : "");
    };
    Host host;
    host.path = variable("PATH");
    host.home = variable("HOME");
    if (host.home.empty()) {
        const passwd* const user = getpwuid(getuid());
        host.home = user != nullptr ? user->pw_dir : "";
    }
    std::error_code none;
    host.workingFolder = fs::current_path(none).string();
    host.versionFiles = versionFiles;
    host.pyenvVersion = variable("PYENV_VERSION");
    host.javaHome = variable("JAVA_HOME");
    return host;
}

Resolved resolve(const std::vector<std::string>& command, const Host& host) {
    return interpreters::Resolver(host).resolve(command);
}
