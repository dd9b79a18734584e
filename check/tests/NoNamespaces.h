// What starts lessons-check where it can make no sandbox: for an ordinary
// user, bubblewrap in a user namespace that may make no more of them; for
// root, which could never be given another user there, a PATH on which no
// bubblewrap is found.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

inline std::vector<std::string> withoutNamespaces() {
    if (geteuid() != 0) {
        return {LESSONS_BWRAP, "--unshare-user", "--disable-userns", "--bind", "/", "/", "--"};
    }
    // Every program of PATH but bubblewrap, as links in a folder of their own.
    static const std::filesystem::path programs = [] {
        const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                             ("lessons-check-no-bwrap-" + std::to_string(getpid()));
        std::error_code none;
        std::filesystem::create_directories(folder, none);
        const char* const path = getenv("PATH");
        const std::string folders = path != nullptr ? path : "/usr/bin:/bin";
        for (std::size_t start = 0; start <= folders.size();) {
            const std::size_t end = std::min(folders.find(':', start), folders.size());
            for (const auto& entry :
                 std::filesystem::directory_iterator(folders.substr(start, end - start), none)) {
                const auto name = entry.path().filename();
                if (name != "bwrap" && !std::filesystem::exists(folder / name, none)) {
                    std::filesystem::create_symlink(entry.path(), folder / name, none);
                }
            }
            start = end + 1;
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                            ("lessons-check-no-bwrap-" + std::to_string(getpid())),
                                        ignored);
        });
        return folder;
    }();
    return {"/usr/bin/env", "PATH=" + programs.string()};
}
