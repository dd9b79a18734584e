#include "sandbox/Paths.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>

namespace fs = std::filesystem;

bool isWithin(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

fs::path homeFolder() {
    const char* const home = getenv("HOME");
    if (home != nullptr && *home == '/') {
        return fs::path(home).lexically_normal();
    }
    const passwd* const user = getpwuid(getuid());
    return user != nullptr ? fs::path(user->pw_dir) : fs::path("/");
}

std::string onPath(const std::string& name, const std::string& path) {
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        const std::string folder = path.substr(start, end - start);
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / name;
        std::error_code none;
        if (access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate, none)) {
            return candidate.string();
        }
        start = end + 1;
    }
    return "";
}

bool isShared(const fs::path& folder) {
    const char* const temporary = getenv("TMPDIR");
    const fs::path home = homeFolder();
    return isWithin(home, folder) || folder == home || folder == "/" || folder == "/tmp" ||
           folder == "/var/tmp" || folder == "/dev/shm" ||
           (temporary != nullptr && folder == fs::path(temporary).lexically_normal());
}

bool isSystemPath(const fs::path& path) {
    for (const char* const system : {"/usr", "/opt", "/etc", "/proc", "/dev", "/bin", "/sbin",
                                     "/lib", "/lib32", "/lib64", "/libx32"}) {
        if (path == system || isWithin(path, system)) {
            return true;
        }
    }
    return false;
}

bool isMachinesRoot() {
    std::ifstream map("/proc/self/uid_map");
    long long inside = -1, outside = -1, count = -1;
    map >> inside >> outside >> count;
    return geteuid() == 0 && inside == 0 && outside == 0 && count == 4294967295LL;
}

bool rootWithNoOtherUser() {
    if (geteuid() != 0 || isMachinesRoot()) {
        return false;
    }
    // The user 0 is outside: the line of the map that holds it.
    std::ifstream map("/proc/self/uid_map");
    bool othersMapped = false, rootOutside = false;
    for (long long inside, outside, count; map >> inside >> outside >> count;) {
        if (inside <= 0 && 0 < inside + count) {
            rootOutside = outside - inside == 0;
        }
        othersMapped = othersMapped || count > 1 || inside != 0;
    }
    return rootOutside && !othersMapped;
}
