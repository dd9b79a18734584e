// Copies of a version's own files, made once per version in a private
// folder of the checker's, which the version's sandbox shows instead of the
// files themselves.  A copy holds regular files, folders and symbolic links
// as they are (a link is never followed: inside the sandbox it leads to
// nothing of the user's); sockets, pipes and devices are left out, so that
// nothing in a version's folder leads out of the sandbox.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A version's files are more than a copy may hold.
struct TooLarge : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Staging {
public:
    // With an owner (>= 0), every copy is given to that user: the one a
    // version runs as when the checker is root.
    explicit Staging(int owner = -1, int group = -1);
    ~Staging();
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;

    // A copy of the folder's files, and where it is.  Throws TooLarge.
    std::string copyFolder(const std::filesystem::path& folder);
    // A folder holding a copy of the file alone, under its own name.
    std::string copyFile(const std::filesystem::path& file);
    // A new empty folder in the staging area (for a run's fresh copies).
    std::string newFolder();
    // Files and folders no copy holds, wherever a copied folder has them
    // and under whatever name: the lessons' own programs and cases.
    void leaveOut(const std::vector<std::string>& paths);

    // Every regular file copied: as the user named it, and its copy.
    const std::vector<std::pair<std::filesystem::path, std::filesystem::path>>& files() const {
        return copied;
    }

    // What a copy may hold at most.
    static constexpr std::size_t MOST_ENTRIES = 4096;
    static constexpr unsigned long long MOST_BYTES = 64ull << 20;

private:
    void copyTree(const std::filesystem::path& from, const std::filesystem::path& to);
    void giveAway(const std::filesystem::path& path) const;

    bool leftOut(const std::filesystem::path& path) const;
    // Throws TooLarge when a copy of the folder would be more than a copy
    // may hold.
    void measure(const std::filesystem::path& folder) const;

    std::filesystem::path root;
    std::set<std::pair<dev_t, ino_t>> kept;  // what leaveOut named
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> copied;
    int owner, group;
    std::size_t entries = 0, copies = 0;
    unsigned long long bytes = 0;
};
