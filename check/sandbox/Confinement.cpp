#include "sandbox/Confinement.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "sandbox/Interpreters.h"
#include "sandbox/Paths.h"

namespace fs = std::filesystem;

namespace {

// What a version is given of the checker's environment, besides its own
// HOME and TMPDIR.
const char* const KEPT_VARIABLES[] = {"PATH",       "LANG", "LC_ALL", "LC_CTYPE", "LC_MESSAGES",
                                      "LC_NUMERIC", "TERM", "TZ",     "JAVA_HOME"};

// The user a version runs as when the checker is root, outside a sandbox.
constexpr int NOBODY = 65534;

std::string checkersPath() {
    const char* const path = getenv("PATH");
    return path != nullptr ? path : "/usr/bin:/bin";
}

std::vector<std::pair<std::string, std::string>> keptEnvironment(const std::string& home) {
    std::vector<std::pair<std::string, std::string>> environment = {{"HOME", home},
                                                                    {"TMPDIR", home}};
    for (const char* const name : KEPT_VARIABLES) {
        if (const char* const value = getenv(name)) {
            environment.emplace_back(name, value);
        }
    }
    return environment;
}

// The tree lessons-check was built or installed in, whose programs and
// cases no version may copy: the folder above its own bin folder, unless
// that is the system's.
bool inCheckersTree(const fs::path& folder) {
    std::error_code none;
    const fs::path tree = fs::read_symlink("/proc/self/exe", none).parent_path().parent_path();
    return !isSystemPath(tree) && tree != "/" && (folder == tree || isWithin(folder, tree));
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

// The files a single check's command names, outside its folder: its
// program when PATH finds it outside the system's folders, and each path
// an argument holds.
std::vector<fs::path> namedFiles(const std::vector<std::string>& command, const fs::path& folder,
                                 bool folderShown, const std::vector<std::string>& masked,
                                 const std::vector<std::string>& interpreters) {
    std::vector<fs::path> named;
    const auto add = [&](const fs::path& path) {
        std::error_code none;
        const fs::path normal = (folder / path).lexically_normal();
        const bool top = normal == "/" || normal.parent_path() == "/";
        const bool hidden = std::any_of(masked.begin(), masked.end(), [&](const std::string& mask) {
            return normal == mask || isWithin(normal, mask) || isWithin(mask, normal);
        });
        // An interpreter is shown as its installation is, not copied.
        const bool interpreter = std::any_of(
            interpreters.begin(), interpreters.end(),
            [&](const std::string& shown) { return normal == shown || isWithin(normal, shown); });
        if (!interpreter && fs::exists(fs::symlink_status(normal, none)) && !isSystemPath(normal) &&
            !top && !(folderShown && isWithin(normal, folder)) && !isShared(normal) &&
            !isWithin(homeFolder(), normal) && !isWithin(normal, "/run") &&
            !isWithin(normal, "/sys") && !hidden &&
            !(inCheckersTree(normal) && fs::is_directory(normal, none)) &&
            std::find(named.begin(), named.end(), normal) == named.end()) {
            named.push_back(normal);
        }
    };
    if (!command.empty() && command[0].find('/') == std::string::npos) {
        const std::string found = onPath(command[0], checkersPath());
        if (!found.empty()) {
            add(found);
        }
    }
    for (std::size_t i = 0; i < command.size(); ++i) {
        for (const std::string& path : pathsIn(command[i])) {
            // A plain name after the program may be a file in the folder
            // ("python3 heat.py").
            if (path.find('/') != std::string::npos || i > 0) {
                add(path);
            }
        }
    }
    return named;
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

ConfinementPlan planWithCaps(unsigned tasks, unsigned long long memoryBytes) {
    ConfinementPlan plan;
    // What a run writes is in memory too: a quarter of the cap at most.
    plan.limits.writableBytes = std::min<unsigned long long>(64ull << 20, memoryBytes / 4);
    plan.limits.tasks = tasks;
    plan.limits.memoryBytes = memoryBytes - plan.limits.writableBytes;
    plan.limits.files = 1024;
    plan.caps.tasks = tasks;
    plan.caps.memoryBytes = memoryBytes - plan.limits.writableBytes;
    plan.caps.memoryShown = memoryBytes;
    return plan;
}

Confinement::Confinement(const ConfinementPlan& plan)
    : plan(plan),
      staging(std::make_unique<Staging>(isMachinesRoot() ? NOBODY : -1,
                                        isMachinesRoot() ? NOBODY : -1)) {
    staging->leaveOut(plan.masked);
}

void Confinement::resolveInterpreters(const std::string& versionFiles) {
    const Host host = thisHost(versionFiles);
    Resolved resolved = resolve(runs.request.argv, host);
    if (!resolved.problem.empty()) {
        throw CannotStart(resolved.problem);
    }
    runs.request.argv = resolved.command;
    if (!building.empty()) {
        Resolved compiler = resolve(building, host);
        if (!compiler.problem.empty()) {
            throw CannotStart(compiler.problem);
        }
        building = compiler.command;
        resolved.shown.insert(resolved.shown.end(), compiler.shown.begin(), compiler.shown.end());
        resolved.links.insert(resolved.links.end(), compiler.links.begin(), compiler.links.end());
    }
    // A lesson's own program is no interpreter a version may start.
    for (const std::string& file : resolved.shown) {
        const bool masked =
            std::any_of(plan.masked.begin(), plan.masked.end(), [&](const std::string& mask) {
                return file == mask || isWithin(file, mask) || isWithin(mask, file);
            });
        if (!masked) {
            interpreterFiles.push_back(file);
        }
    }
    for (const SymbolicLink& link : resolved.links) {
        interpreterLinks.emplace_back(link.path, link.target);
    }
    pathInside = resolved.path;
    interpreterVariables = resolved.environment;
}

namespace {

// The environment a version runs with: the kept variables, PATH as the
// interpreters need it inside, and theirs.
std::vector<std::pair<std::string, std::string>> runEnvironment(
    const std::string& home, const std::string& path,
    const std::vector<std::pair<std::string, std::string>>& more) {
    std::vector<std::pair<std::string, std::string>> environment;
    for (const auto& variable : keptEnvironment(home)) {
        if ((variable.first != "PATH" || path.empty()) && variable.first != "JAVA_HOME") {
            environment.push_back(variable);
        }
    }
    if (!path.empty()) {
        environment.emplace_back("PATH", path);
    }
    environment.insert(environment.end(), more.begin(), more.end());
    return environment;
}

}  // namespace

void Confinement::startRunner(const std::vector<std::pair<std::string, std::string>>& own,
                              std::vector<std::pair<std::string, std::string>> shown,
                              const std::string& folder) {
    runs.caps = plan.caps;
    runs.request.folder = folder;
    for (const std::string& file : interpreterFiles) {
        shown.emplace_back(file, file);
    }
    SandboxPlan sandbox;
    sandbox.limits = plan.limits;
    sandbox.memoryCap = plan.caps.memoryShown;
    sandbox.asRoot = isMachinesRoot();
    if (!plan.bwrap.empty()) {
        sandbox.own = own;
        sandbox.shown = shown;
        sandbox.links = interpreterLinks;
        sandbox.masked = plan.masked;
        runs.request.environment = runEnvironment("/tmp", pathInside, interpreterVariables);
        sandboxed = true;
    } else {
        // No namespaces: each run in fresh copies beside the staged ones,
        // with a home of its own; as root, as nobody.
        Setup& setup = sandbox.unconfinedSetup;
        setup.limits = plan.limits;
        setup.limits.tasks = 0;  // a user's processes are all counted together: watched instead
        for (const auto& [staged, seen] : own) {
            const std::string copy = staging->newFolder();
            setup.own.emplace_back(staged, copy);
            if (seen == folder) {
                runs.request.folder = copy;
            }
        }
        const std::string home = staging->newFolder();
        setup.own.emplace_back(staging->newFolder(), home);
        if (sandbox.asRoot) {
            setup.runUser = setup.runGroup = NOBODY;
        }
        sandbox.unconfined = true;
        runs.request.environment = runEnvironment(home, pathInside, interpreterVariables);
    }
    runner = std::make_unique<ConfinedRunner>(sandbox, plan.bwrap, plan.supervisorProgram);
    runs.runner = runner.get();
}

std::unique_ptr<Confinement> Confinement::forCommand(const std::vector<std::string>& command,
                                                     const ConfinementPlan& plan) {
    std::unique_ptr<Confinement> confinement(new Confinement(plan));
    Staging& staging = *confinement->staging;
    const fs::path folder = fs::current_path();
    confinement->runs.request.argv = command;
    const bool folderShown = !isShared(folder) && !inCheckersTree(folder);
    // The folder's own files are the version's, copied: no interpreter of
    // them is shown as it is.
    confinement->resolveInterpreters(folderShown ? folder.string() : "");
    std::vector<std::pair<std::string, std::string>> own, shown;
    std::string staged;
    if (folderShown) {
        try {
            staged = staging.copyFolder(folder);
        } catch (const TooLarge& large) {
            confinement->told = "the folder " + folder.string() + " holds " + large.what() +
                                ": the version sees only the files its command names";
        }
    }
    own.emplace_back(staged.empty() ? staging.newFolder() : staged, folder.string());
    const std::vector<fs::path> named =
        namedFiles(command, folder, !staged.empty(), plan.masked, confinement->directories());
    confinement->dropInterpreterFiles(named);
    for (const fs::path& path : named) {
        std::error_code none;
        try {
            if (fs::is_directory(fs::symlink_status(path, none))) {
                shown.emplace_back(staging.copyFolder(path), path.string());
            } else {
                shown.emplace_back((fs::path(staging.copyFile(path)) / path.filename()).string(),
                                   path.string());
            }
        } catch (const TooLarge& large) {
            confinement->told = path.string() + " holds " + large.what() + ": it is not shown";
        }
    }
    confinement->startRunner(own, shown, folder.string());
    return confinement;
}

std::unique_ptr<Confinement> Confinement::forVersion(const std::string& version,
                                                     const std::string& lesson,
                                                     const ConfinementPlan& plan) {
    std::unique_ptr<Confinement> confinement(new Confinement(plan));
    Staging& staging = *confinement->staging;
    // The folder where a build writes, which the version's runs see too.
    const std::string buildFolder =
        plan.bwrap.empty() ? staging.newFolder() : ConfinedRunner::BUILD_FOLDER;
    const HandIn handIn = handInOf(version, lesson, buildFolder);
    confinement->runs.request.argv = handIn.command;
    confinement->building = handIn.build;
    confinement->ownProgram = ::versionsProgram(version, handIn.command);
    // Taken whole, the folders above it as the user has them; the version
    // itself is never followed through a link (handInOf has refused one).
    const fs::path whole = fs::absolute(wholePath(version)).lexically_normal();
    std::error_code none;
    const bool folder = fs::is_directory(fs::symlink_status(whole, none));
    confinement->resolveInterpreters(whole.string());
    const std::string staged = folder ? staging.copyFolder(whole) : staging.copyFile(whole);
    const std::string seen = folder ? whole.string() : whole.parent_path().string();
    confinement->startRunner({{staged, seen}}, {}, seen);
    return confinement;
}

std::vector<std::string> Confinement::directories() const {
    std::vector<std::string> folders;
    for (const std::string& file : interpreterFiles) {
        std::error_code none;
        if (fs::is_directory(file, none)) {
            folders.push_back(file);
        }
    }
    return folders;
}

void Confinement::dropInterpreterFiles(const std::vector<fs::path>& copied) {
    interpreterFiles.erase(std::remove_if(interpreterFiles.begin(), interpreterFiles.end(),
                                          [&](const std::string& file) {
                                              return std::find(copied.begin(), copied.end(),
                                                               fs::path(file)) != copied.end();
                                          }),
                           interpreterFiles.end());
}

const std::vector<std::pair<fs::path, fs::path>>& Confinement::files() const {
    return staging->files();
}

std::vector<std::string> Confinement::shownCommand() const {
    std::vector<std::string> words = building;
    if (!words.empty()) {
        words.push_back("&&");
    }
    words.insert(words.end(), runs.request.argv.begin(), runs.request.argv.end());
    return words;
}

std::string Confinement::build(double timeoutSeconds, std::string* said) {
    if (building.empty()) {
        return "";
    }
    RunRequest request = runs.request;
    request.argv = building;
    request.build = true;
    // The compiler's words in plain ASCII, as a report shows them.
    request.environment.emplace_back("LC_ALL", "C");
    std::string output;
    const RunResult result = runPiped(*runs.runner, request, "", timeoutSeconds, &output, 16384,
                                      &output, 16384, runs.caps);
    if (result.endedWell()) {
        return "";
    }
    *said = output;
    return "its sources did not build: " + building.front() + " " + result.describe(timeoutSeconds);
}

std::string workingBubblewrap(std::string& whyNot) {
    static std::string bwrap, why;
    static bool known = false;
    if (!known) {
        known = true;
        const std::string found = onPath("bwrap", checkersPath());
        std::error_code none;
        bwrap = found.empty() ? "" : fs::canonical(found, none).string();
        why = whyNoSandbox(bwrap);
        if (!why.empty()) {
            bwrap.clear();
        }
    }
    whyNot = why;
    return bwrap;
}
