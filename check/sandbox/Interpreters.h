// Interpreters wherever the user installed them: for a version's command,
// what must run inside the sandbox and what of the user's files it needs
// there to start as it starts for the user (a pyenv version behind a shim,
// a venv and its base, conda, nvm, SDKMAN, a script in ~/.local/bin).
//
// Nothing here runs a program of the user's: it only reads links, the first
// line of a script and small settings files, each bounded in size.
#pragma once

#include <string>
#include <utility>
#include <vector>

// What the host looks like to the resolver.
struct Host {
    std::string path;           // the instructor's PATH
    std::string home;           // HOME
    std::string workingFolder;  // the folder lessons-check runs in, where .python-version is read
    // The version's own folder or file, which the sandbox shows by itself:
    // nothing in it is shown here, no link out of it is followed, and its
    // scripts may name an interpreter only.
    std::string versionFiles;
    std::string pyenvVersion;  // PYENV_VERSION
    std::string javaHome;      // JAVA_HOME
};

// The host as this process finds it, for a version whose own files are
// versionFiles.
Host thisHost(const std::string& versionFiles);

// A symbolic link to make inside the sandbox, as `bwrap --symlink target path`.
struct SymbolicLink {
    std::string path;    // where it is: its folder has no link in it
    std::string target;  // what it holds, as read from the host
    bool operator==(const SymbolicLink& other) const {
        return path == other.path && target == other.target;
    }
};

// A command as it must start inside the sandbox, and what of the user's
// files it needs to start there as it starts for the user.
struct Resolved {
    std::vector<std::string> command;  // a shim replaced by what it calls; otherwise as given
    // Files and folders to show read-only at the same path, none in another,
    // none a system folder's (those are shown anyway).
    std::vector<std::string> shown;
    // Links met on the way that nothing shown holds (SDKMAN's `current`, a
    // venv's folder reached through a link, ~/.local/bin/node): made after
    // the shown ones, so that every path named here and in a script's first
    // line leads inside where it leads outside.
    std::vector<SymbolicLink> links;
    // PATH inside: the instructor's folders that are the system's or that
    // give python3, python, node, java, javac, the command or a script's
    // `env NAME`; a pyenv shims folder replaced by its versions' bin folders.
    std::string path;
    std::vector<std::pair<std::string, std::string>> environment;  // JAVA_HOME when it is shown
    // "" or, when the command's interpreter cannot be shown, why and what to
    // do, in one sentence naming the path.  It can hold a path named in the
    // version's own script: escape it as any of the version's bytes.
    std::string problem;
};

Resolved resolve(const std::vector<std::string>& command, const Host& host);
