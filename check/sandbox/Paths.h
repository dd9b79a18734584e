// Paths as the sandbox sees them: which are the user's, which are everyone's.
#pragma once

#include <filesystem>
#include <string>

bool isWithin(const std::filesystem::path& path, const std::filesystem::path& folder);

// The user's home folder.
std::filesystem::path homeFolder();

// The program that PATH finds for the name, or "" for none.
std::string onPath(const std::string& name, const std::string& path);

// Whether showing the folder would show more than a version's own files:
// the user's home or a folder it is in, or a folder for everyone's
// temporary files, whose sockets (a terminal multiplexer's, a display's)
// could be connected to.
bool isShared(const std::filesystem::path& folder);

// Whether the path is of the system's, shown to every version anyway.
bool isSystemPath(const std::filesystem::path& path);

// Whether the checker is the machine's root, which may give files to
// another user and map users: root in a user namespace is not.
bool isMachinesRoot();

// Whether the checker is root, in a user namespace that maps no other user
// (a container's): it then can run a version as no user but root.
bool rootWithNoOtherUser();
