#include "sandbox/Staging.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sandbox/Process.h"

namespace fs = std::filesystem;

namespace {

fs::path temporaryFolder() {
    const char* const given = getenv("TMPDIR");
    return given != nullptr && *given == '/' ? fs::path(given) : fs::path("/tmp");
}

// A copy is open to everyone who may see it: only the version does, inside
// its sandbox, and there its user may be other than the one that made the
// copy (the overlay over it checks with the rights of root in the sandbox,
// who reads or runs another's file only as anyone may).
mode_t openedUp(mode_t mode) {
    mode &= 0777;
    return mode | 0444 | ((mode & 0111) != 0 ? 0111 : 0);
}

// Copies one regular file's bytes, read through a descriptor that follows
// no link, into a new file of the same mode, open to all (openedUp).
void copyFileBytes(const fs::path& from, const fs::path& to, mode_t mode,
                   unsigned long long& budget) {
    const Fd in(open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (in.get() < 0 || fstat(in.get(), &status) < 0 || !S_ISREG(status.st_mode)) {
        return;  // gone, or not a regular file after all: left out
    }
    const Fd out(open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, openedUp(mode)));
    fchmod(out.get(), openedUp(mode));  // whatever the umask took away
    if (out.get() < 0) {
        throw std::runtime_error("cannot copy " + from.string() + ": " + std::strerror(errno));
    }
    char buffer[1 << 16];
    for (ssize_t count; (count = read(in.get(), buffer, sizeof buffer)) != 0;) {
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::runtime_error("cannot read " + from.string() + ": " + std::strerror(errno));
        }
        if (static_cast<unsigned long long>(count) > budget) {
            throw TooLarge("more than " + std::to_string(Staging::MOST_BYTES >> 20) + " MiB");
        }
        budget -= static_cast<unsigned long long>(count);
        if (write(out.get(), buffer, static_cast<std::size_t>(count)) != count) {
            throw std::runtime_error("cannot copy " + from.string() + ": " + std::strerror(errno));
        }
    }
}

}  // namespace

Staging::Staging(int owner, int group) : owner(owner), group(group) {
    std::string pattern = (temporaryFolder() / "lessons-check.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a folder in " + temporaryFolder().string() + ": " +
                                 std::strerror(errno));
    }
    root = pattern;
    // Only the checker may list it; the run's user, when it is another,
    // may pass through to its own copies.
    chmod(root.c_str(), owner >= 0 ? 0711 : 0700);
}

Staging::~Staging() {
    std::error_code none;
    fs::remove_all(root, none);
}

void Staging::giveAway(const fs::path& path) const {
    if (owner >= 0 &&
        lchown(path.c_str(), static_cast<uid_t>(owner), static_cast<gid_t>(group)) < 0) {
        throw std::runtime_error("cannot give " + path.string() +
                                 " to the version's user: " + std::strerror(errno));
    }
}

std::string Staging::newFolder() {
    const fs::path folder = root / std::to_string(copies++);
    fs::create_directory(folder);
    chmod(folder.c_str(), 0755);
    giveAway(folder);
    return folder.string();
}

void Staging::copyTree(const fs::path& from, const fs::path& to) {
    std::error_code error;
    unsigned long long budget = MOST_BYTES - bytes;
    for (auto entry = fs::recursive_directory_iterator(from, error);
         !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (++entries > MOST_ENTRIES) {
            throw TooLarge("more than " + std::to_string(MOST_ENTRIES) + " files and folders");
        }
        if (leftOut(entry->path())) {
            entry.disable_recursion_pending();
            continue;
        }
        const fs::path target = to / entry->path().lexically_relative(from);
        const fs::file_status status = entry->symlink_status(error);
        if (error) {
            continue;
        }
        if (fs::is_symlink(status)) {
            fs::create_symlink(fs::read_symlink(entry->path(), error), target, error);
        } else if (fs::is_directory(status)) {
            fs::create_directory(target);
            chmod(target.c_str(), openedUp(static_cast<mode_t>(status.permissions())) | 0755);
        } else if (fs::is_regular_file(status)) {
            copyFileBytes(entry->path(), target, static_cast<mode_t>(status.permissions()), budget);
            copied.emplace_back(entry->path(), target);
        } else {
            continue;  // a socket, a pipe or a device: nothing of a version's own
        }
        giveAway(target);
    }
    bytes = MOST_BYTES - budget;
    if (error) {
        throw std::runtime_error("cannot read " + from.string() + ": " + error.message());
    }
}

void Staging::leaveOut(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        struct stat status {};
        if (lstat(path.c_str(), &status) == 0) {
            kept.emplace(status.st_dev, status.st_ino);
        }
    }
}

bool Staging::leftOut(const fs::path& path) const {
    struct stat status {};
    return !kept.empty() && lstat(path.c_str(), &status) == 0 &&
           kept.count({status.st_dev, status.st_ino}) > 0;
}

void Staging::measure(const fs::path& folder) const {
    std::error_code error;
    std::size_t count = entries;
    unsigned long long size = bytes;
    for (auto entry = fs::recursive_directory_iterator(folder, error);
         !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (leftOut(entry->path())) {
            entry.disable_recursion_pending();
            continue;
        }
        if (++count > MOST_ENTRIES) {
            throw TooLarge("more than " + std::to_string(MOST_ENTRIES) + " files and folders");
        }
        const fs::file_status status = entry->symlink_status(error);
        if (!error && fs::is_regular_file(status)) {
            size += entry->file_size(error);
            if (size > MOST_BYTES) {
                throw TooLarge("more than " + std::to_string(MOST_BYTES >> 20) + " MiB");
            }
        }
        error.clear();
    }
}

std::string Staging::copyFolder(const fs::path& folder) {
    // Measured first: a folder too large is known before anything of it
    // is copied, as fast as its entries can be listed.
    measure(folder);
    const std::string copy = newFolder();
    copyTree(folder, copy);
    return copy;
}

std::string Staging::copyFile(const fs::path& file) {
    const std::string copy = newFolder();
    const fs::path target = fs::path(copy) / file.filename();
    std::error_code error;
    const fs::file_status status = fs::symlink_status(file, error);
    if (fs::is_symlink(status)) {
        fs::create_symlink(fs::read_symlink(file, error), target, error);
    } else if (fs::is_regular_file(status)) {
        unsigned long long budget = MOST_BYTES - bytes;
        copyFileBytes(file, target, static_cast<mode_t>(status.permissions()), budget);
        bytes = MOST_BYTES - budget;
        copied.emplace_back(file, target);
    }
    if (fs::exists(fs::symlink_status(target, error))) {
        giveAway(target);
    }
    return copy;
}
